// The command-line parser.
#include "pmport/ut_cmdargs.h"

#include <algorithm>
#include <iterator>
#include <sstream>

#include "pmport/port_file.h"
#include "pmport/port_msg.h"
#include "port_messages.h"

namespace {

const char* const kMsgDomain = "PersonalityModule";
const char* const kRevision = "1";

// Deep command-file nesting is a mistake, not a use; the limit keeps the expansion bounded.
const std::size_t kMaxCommandFileDepth = 32;

Port_MsgManData Messages(int line) {
  return Port_MsgManData::createObject(kMsgDomain, "ut_cmdargs", line, kRevision);
}

// An option name without its one or two leading dashes.
std::string BareName(const char* name) {
  if (!name) return std::string();
  const char* start = name;
  if (*start == '-') ++start;
  if (*start == '-') ++start;
  return start;
}

bool IsHelpName(const std::string& name) { return name == "help" || name == "h" || name == "?"; }

// True for an argument that is spelled as an option: "-" or "--" followed by something.
bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && arg != "--";
}

bool StartsWithDashDigit(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
}

std::vector<std::string> SplitBlanks(const std::string& text) {
  std::istringstream words(text);
  return std::vector<std::string>(std::istream_iterator<std::string>(words),
                                  std::istream_iterator<std::string>());
}

// Walks the arguments once, recording them; reports each rejected option.
class ArgumentWalker {
 public:
  ArgumentWalker(int argc, const char* const* argv, const UT_CMDOPCODES& opcodes, UT_ARGINFO& info)
      : argc_(argc), argv_(argv), opcodes_(opcodes), info_(info) {}

  bool walk() {
    bool ok = true;
    bool optionsEnded = false;
    for (index_ = 0; index_ < argc_; ++index_) {
      const std::string arg = argv_[index_] ? argv_[index_] : "";
      if (!optionsEnded && arg == "--") {
        optionsEnded = true;
      } else if (optionsEnded || !LooksLikeOption(arg)) {
        info_.positionals.push_back(arg);
      } else {
        ok = option(arg) && ok;
      }
    }
    return ok;
  }

 private:
  bool option(const std::string& arg) {
    const std::string name = BareName(arg.c_str());
    if (IsHelpName(name)) {
      help();
      return true;
    }
    switch (opcodes_.find(arg.c_str())) {
      case UT_CMDOPCODES::Flag:
        info_.flags.insert(name);
        return true;
      case UT_CMDOPCODES::Value:
        return value(arg, name);
      case UT_CMDOPCODES::None:
        break;
    }
    if (StartsWithDashDigit(arg)) {
      info_.positionals.push_back(arg);
      return true;
    }
    PORT_ISSUE(Messages(__LINE__), UnknownOption, arg.c_str());
    return false;
  }

  void help() {
    const bool firstHelp = !info_.usagegiven;
    info_.usagegiven = 1;
    if (firstHelp && hasnext()) info_.helpvalue = next();
  }

  bool value(const std::string& arg, const std::string& name) {
    if (!hasnext()) {
      PORT_ISSUE(Messages(__LINE__), OptionNeedsValue, arg.c_str());
      return false;
    }
    info_.options[name].push_back(next());
    return true;
  }

  bool hasnext() const { return index_ + 1 < argc_; }
  std::string next() {
    ++index_;
    return argv_[index_] ? argv_[index_] : "";
  }

  int argc_;
  const char* const* argv_;
  const UT_CMDOPCODES& opcodes_;
  UT_ARGINFO& info_;
  int index_ = 0;
};

}  // namespace

// --- UT_ARGINFO ---

bool UT_ARGINFO::hasflag(const char* name) const { return flags.count(BareName(name)) != 0; }

bool UT_ARGINFO::hasoption(const char* name) const { return options.count(BareName(name)) != 0; }

const char* UT_ARGINFO::getvalue(const char* name) const {
  const auto found = options.find(BareName(name));
  if (found == options.end() || found->second.empty()) return nullptr;
  return found->second.back().c_str();
}

const std::vector<std::string>& UT_ARGINFO::getvalues(const char* name) const {
  static const std::vector<std::string> none;
  const auto found = options.find(BareName(name));
  return found == options.end() ? none : found->second;
}

const char* UT_ARGINFO::getpositional(std::size_t index) const {
  return index < positionals.size() ? positionals[index].c_str() : nullptr;
}

// --- UT_CMDOPCODES ---

UT_CMDOPCODES::UT_CMDOPCODES(const char* optionspec) {
  const std::vector<std::string> words = SplitBlanks(optionspec ? optionspec : "");
  if (words.empty()) {
    reject("it names no tool");
    return;
  }
  toolname_ = words.front();
  if (toolname_[0] == '-') {
    reject("it begins with the option \"" + toolname_ + "\" instead of the tool name");
    return;
  }
  for (auto word = words.begin() + 1; word != words.end() && !iserror(); ++word) declare(*word);
}

void UT_CMDOPCODES::declare(const std::string& word) {
  const bool takesValue = word.back() == '=';
  const std::string name = word.substr(1, word.size() - 1 - (takesValue ? 1 : 0));
  if (word[0] != '-' || name.empty()) {
    reject("\"" + word + "\" is not an option declaration");
  } else if (name[0] == '-' || name.find('=') != std::string::npos) {
    reject("\"" + word + "\" is not a valid option name");
  } else if (IsHelpName(name) && takesValue) {
    reject("\"" + word + "\" redeclares a help option");
  } else if (IsHelpName(name)) {
    // A help option is always accepted; declaring it as a flag changes nothing.
  } else if (!kinds_.emplace(name, takesValue ? Value : Flag).second) {
    reject("\"-" + name + "\" is declared twice");
  }
}

void UT_CMDOPCODES::reject(const std::string& reason) {
  error_ = reason;
  PORT_ISSUE(Messages(__LINE__), MalformedOptionSpec, toolname_.c_str(), reason.c_str());
}

UT_CMDOPCODES::Kind UT_CMDOPCODES::find(const char* name) const {
  const auto found = kinds_.find(BareName(name));
  return found == kinds_.end() ? None : found->second;
}

// --- UT_CMDCHK ---

int UT_CMDCHK::chkargs(int argc, const char* const* argv, const UT_CMDOPCODES& opcodes,
                       UT_ARGINFO& info) {
  const bool ok = !opcodes.iserror() && ArgumentWalker(argc, argv, opcodes, info).walk();
  if (!ok) info.error = 1;
  return ok ? 1 : 0;
}

std::string UT_CMDCHK::findhelpword(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) {
    if (argv[i] && std::string(argv[i]) == "--") break;
    if (ishelpoption(argv[i])) return i + 1 < argc && argv[i + 1] ? argv[i + 1] : "";
  }
  return std::string();
}

bool UT_CMDCHK::ishelpoption(const char* arg) {
  return arg && LooksLikeOption(arg) && IsHelpName(BareName(arg));
}

// --- UT_CMDARGS ---

UT_CMDARGS::UT_CMDARGS(int argc, const char* const* argv, const char* optionspec) {
  const UT_CMDOPCODES opcodes(optionspec);
  UT_CMDCHK::chkargs(argc, argv, opcodes, info_);
  if (opcodes.iserror()) info_.error = 1;
}

// --- UT_CMDFILE ---

UT_CMDFILE::UT_CMDFILE(int argc, const char* const* argv) {
  std::vector<std::string> chain;
  expand(argc, argv, chain);
  pointers_.reserve(words_.size() + 1);
  for (std::string& word : words_) pointers_.push_back(&word[0]);
  pointers_.push_back(nullptr);
}

void UT_CMDFILE::expand(int argc, const char* const* argv, std::vector<std::string>& chain) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i] ? argv[i] : "";
    if (arg == "-f" && i + 1 < argc && argv[i + 1]) {
      expandfile(argv[++i], chain);
    } else {
      words_.push_back(arg);
    }
  }
}

void UT_CMDFILE::expandfile(const std::string& path, std::vector<std::string>& chain) {
  if (std::find(chain.begin(), chain.end(), path) != chain.end()) {
    PORT_ISSUE(Messages(__LINE__), CommandFileNamesItself, path.c_str());
    valid_ = false;
    return;
  }
  if (chain.size() >= kMaxCommandFileDepth) {
    PORT_ISSUE(Messages(__LINE__), CommandFilesTooDeep, path.c_str());
    valid_ = false;
    return;
  }
  std::string content;
  if (!Port::File::ReadAll(path.c_str(), content)) {
    PORT_ISSUE(Messages(__LINE__), CannotReadCommandFile, path.c_str());
    words_.push_back("-f");
    words_.push_back(path);
    valid_ = false;
    return;
  }
  const std::vector<std::string> fileWords = SplitBlanks(content);
  std::vector<const char*> fileArgv;
  fileArgv.reserve(fileWords.size());
  for (const std::string& word : fileWords) fileArgv.push_back(word.c_str());
  chain.push_back(path);
  expand(static_cast<int>(fileArgv.size()), fileArgv.data(), chain);
  chain.pop_back();
}
