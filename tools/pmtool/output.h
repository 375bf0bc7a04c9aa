// pmtool's output: results on standard output (plain aligned text or JSON), messages on standard
// error, each line headed by the command that speaks ("pmtool seg dump: ...").
#ifndef PMTOOL_OUTPUT_H
#define PMTOOL_OUTPUT_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pmtool {

struct Invocation;

// Routes the library's messages: status texts to standard output; warnings, errors and (under
// PM_TRACE) debug traces to standard error, headed by the current message prefix.
void InstallMessageHandler();
// The head of every message line from now on: "pmtool", then "pmtool seg dump" once a command runs.
void SetMessagePrefix(const std::string& prefix);
// Whether the library's reports of a file taken from an overriding installation entry are shown
// (by default they are not). Even when shown, a report is left out when the file it says is
// overridden does not exist.
void ShowOverrideMessages(bool shown);

// `text` with every control character (below 0x20, and 0x7f) written as a C escape ("\t",
// "\r", "\x1b"), except those in `kept`: names read from files cannot drive the terminal or
// break a line. Other bytes, backslashes included, are left as they are, so escaping twice
// changes nothing. Every text line pmtool writes goes through it; JSON has escapes of its own.
std::string Printable(const std::string& text, const std::string& kept = "");

// Writes `text`, made printable, and a line end on standard output.
void PrintLine(const std::string& text);
// PrintLine for each of `lines`.
void PrintLines(const std::vector<std::string>& lines);

// Writes "PREFIX: text" on standard error, the text made printable.
void PrintError(const std::string& text);
// Writes where to find the usage of `helpCommand` ("pmtool seg write"); returns kExitUsage.
int UsageHint(const std::string& helpCommand);
// Writes the error, then the hint; returns kExitUsage.
int UsageError(const std::string& text, const std::string& helpCommand);

// Keeps standard input, output and error open: a closed one gets a descriptor on which every
// write fails, so that no file pmtool opens takes its place and lost output does not go unnoticed.
void ReserveStandardDescriptors();
// Once a write to standard output has failed, says so and ends pmtool with status 1; commands
// that stream their results call it after each piece, so a full disk stops them at once.
void StopIfOutputFailed();
// `status`, or 1 when standard output could not be written (a full disk, a closed output), which
// is then said on standard error: a cut-off answer never looks complete.
int FinishOutput(int status);

// Writes `value` on standard output, indented, with a final line end.
void PrintJson(const nlohmann::ordered_json& value);

// A JSON object written to standard output as it is made, in the layout PrintJson gives: the
// members of `head` at once, then the array member `arrayKey` element by element, and the end of
// the object when the stream goes out of scope. Long listings stream this way instead of being
// collected first.
class JsonArrayStream {
 public:
  JsonArrayStream(const nlohmann::ordered_json& head, const std::string& arrayKey);
  JsonArrayStream(const JsonArrayStream&) = delete;
  JsonArrayStream& operator=(const JsonArrayStream&) = delete;
  ~JsonArrayStream();

  void add(const nlohmann::ordered_json& element);

 private:
  bool empty_ = true;
};

// Rows of cells printed in aligned columns, each cell made printable; the last column is not
// padded.
class Table {
 public:
  void add(std::vector<std::string> row);
  // Every row on its own line, starting with `indent` and with `gap` blanks between columns.
  std::string str(const std::string& indent = "", std::size_t gap = 2) const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

// Why `path` cannot be read as a file ("no such file", "is a directory", "not a regular file",
// "permission denied"), or empty when it can.
std::string UnreadableReason(const std::string& path);

// `text` in double quotes, for messages.
std::string Quoted(const std::string& text);

}  // namespace pmtool

#endif  // PMTOOL_OUTPUT_H
