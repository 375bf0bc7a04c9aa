// The command-line parser: option specifications, argument checking and command-file expansion.
//
// An option specification names the tool, then declares its options, separated by blanks:
//
//     "mytool -verbose -out= -level="
//
// "-name" declares a flag; "-name=" declares an option that takes the next argument as its value.
// On the command line an option may be spelled with one dash or two ("-out" or "--out").
// "-help", "-h" and "-?" are always accepted: any of them sets the usage-given flag, and the first
// one that is followed by an argument takes that argument as its value (the help word). Every
// other argument is positional: one that does not begin with "-", a lone "-", one that begins
// with "-" and a digit ("-4", "-0P": negative numbers and speed grades) unless it is declared, and
// every argument after a "--".
#ifndef PMPORT_UT_CMDARGS_H
#define PMPORT_UT_CMDARGS_H

#include <pmport/export.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The result of a parse: a plain record that a tool reads back after checking its arguments.
// Option names are kept without their leading dash; the accessors take a name with or without it
// ("out", "-out" and "--out" are the same name).
struct PMPORT_API UT_ARGINFO {
  unsigned char error = 0;       // non-zero when the option list or the arguments were rejected
  unsigned char usagegiven = 0;  // non-zero when a help option was given
  std::string helpvalue;  // the help word; empty when no help option had an argument after it
  std::unordered_set<std::string> flags;  // declared flags given
  std::unordered_map<std::string, std::vector<std::string>>
      options;                           // values in command-line order
  std::vector<std::string> positionals;  // in command-line order

  // Back to the empty record (all zero).
  void clear() { *this = UT_ARGINFO(); }

  bool hasflag(const char* name) const;
  bool hasoption(const char* name) const;
  // The last value given to the option, or null when it was not given.
  const char* getvalue(const char* name) const;
  // Every value given to the option, in command-line order (empty when it was not given).
  const std::vector<std::string>& getvalues(const char* name) const;
  std::size_t npositionals() const { return positionals.size(); }
  // The positional argument at `index`, or null past the end.
  const char* getpositional(std::size_t index) const;
};

// A parsed option specification.
class PMPORT_API UT_CMDOPCODES {
 public:
  enum Kind { None, Flag, Value };

  // Parses `optionspec`. A malformed specification (null or empty, a tool name that begins with
  // "-", a declaration that does not begin with "-" or has no name, a name that begins with "-" or
  // holds "=" inside it, a name declared twice, a help name declared as a value option) is
  // reported with a Warning message and by iserror().
  explicit UT_CMDOPCODES(const char* optionspec);

  bool iserror() const { return !error_.empty(); }
  // Why the option list was rejected; empty when it was not.
  const std::string& geterror() const { return error_; }
  // The part of the option list before its first blank.
  const std::string& gettoolname() const { return toolname_; }
  // How `name` (with or without its leading dash) is declared.
  Kind find(const char* name) const;
  std::size_t size() const { return kinds_.size(); }

 private:
  void declare(const std::string& word);
  void reject(const std::string& reason);

  std::string toolname_;
  std::string error_;
  std::unordered_map<std::string, Kind> kinds_;
};

// Checks arguments against an option specification.
class PMPORT_API UT_CMDCHK {
 public:
  // Records the arguments in `info` (argv[0] is an argument here, not the program name). An
  // undeclared option, or a value option with no argument after it, is reported with a Warning
  // message naming it; then the error flag is set and 0 is returned. Every argument is looked
  // at, so the usage-given flag and the help word are set even when an error is found. A
  // rejected specification gives 0 without looking at the arguments. Returns 1 otherwise.
  static int chkargs(int argc, const char* const* argv, const UT_CMDOPCODES& opcodes,
                     UT_ARGINFO& info);

  // The help word of the arguments: the one after the first help option that has one after it.
  static std::string findhelpword(int argc, const char* const* argv);

  // True for "-help", "-h", "-?" and their two-dash spellings.
  static bool ishelpoption(const char* arg);
};

// The base of a tool's argument object: holds the parse result.
class PMPORT_API UT_CMDARGS {
 public:
  // An empty record; a derived class runs the check itself.
  UT_CMDARGS() = default;
  // Checks `argc`/`argv` (argv[0] is an argument, not the program name) against `optionspec`.
  UT_CMDARGS(int argc, const char* const* argv, const char* optionspec);
  virtual ~UT_CMDARGS() = default;
  UT_CMDARGS(const UT_CMDARGS&) = delete;
  UT_CMDARGS& operator=(const UT_CMDARGS&) = delete;

  UT_ARGINFO& getinfo() { return info_; }
  const UT_ARGINFO& getinfo() const { return info_; }

  bool iserror() const { return info_.error != 0; }
  bool gaveusage() const { return info_.usagegiven != 0; }

 private:
  UT_ARGINFO info_;
};

// Expands command files: an argument "-f" followed by a file name is replaced by the words of
// that file (separated by blanks, tabs and line ends). A command file may name further command
// files; one already being expanded is skipped with a Warning, so a loop ends. A file that
// cannot be read, or is not a regular file (a FIFO, a device), is reported with a Warning and
// its "-f FILE" is kept as it was, so that the argument check reports it too. A "-f" with nothing
// after it is kept as it was.
class PMPORT_API UT_CMDFILE {
 public:
  UT_CMDFILE(int argc, const char* const* argv);
  UT_CMDFILE(const UT_CMDFILE&) = delete;
  UT_CMDFILE& operator=(const UT_CMDFILE&) = delete;

  int getargc() const { return static_cast<int>(words_.size()); }
  // The expanded arguments, followed by a null pointer; owned by this object.
  char** getargv() { return pointers_.data(); }
  // False when a command file could not be read or named itself again.
  bool isvalid() const { return valid_; }

 private:
  void expand(int argc, const char* const* argv, std::vector<std::string>& chain);
  void expandfile(const std::string& path, std::vector<std::string>& chain);

  std::vector<std::string> words_;
  std::vector<char*> pointers_;
  bool valid_ = true;
};

#endif  // PMPORT_UT_CMDARGS_H
