// pmtool's output helpers.
#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>
#include <tuple>

#include "command.h"
#include "pmport/port_msg.h"

namespace pmtool {
namespace {

// Set by the main thread before a command runs; pmtool runs its commands on that thread only.
std::string& MessagePrefix() {
  static std::string prefix = "pmtool";
  return prefix;
}

std::string WithoutFinalNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The label that tells a message's kind on a pmtool message line. What the command-line parser
// says is about what the user typed, like pmtool's own usage errors, and goes unlabelled: an
// unknown option is not a "warning" when pmtool then stops with status 2.
std::string KindLabel(const Port::Message& message) {
  if (message.unit == "ut_cmdargs") return std::string();
  switch (message.kind) {
    case Port::MsgKind::Warning:
      return "warning: ";
    case Port::MsgKind::Internal:
      return "internal error: ";
    case Port::MsgKind::Fatal:
    case Port::MsgKind::UserFatal:
      return "error " + std::to_string(message.code) + ": ";
    case Port::MsgKind::Status:
    case Port::MsgKind::Debug:
      break;
  }
  return std::string();
}

bool& OverrideMessagesShown() {
  static bool shown = false;
  return shown;
}

// The platform reports an override as "CATEGORY: USED overrides OVERRIDDEN".
const std::string kOverrides = " overrides ";

bool IsOverrideMessage(const Port::Message& message) {
  return message.unit == "port_env" && message.text.find(kOverrides) != std::string::npos;
}

bool OverriddenFileExists(const std::string& text) {
  const std::size_t at = text.rfind(kOverrides);
  std::error_code ignored;
  return std::filesystem::exists(WithoutFinalNewline(text.substr(at + kOverrides.size())), ignored);
}

bool Wanted(const Port::Message& message) {
  if (!IsOverrideMessage(message)) return true;
  return OverrideMessagesShown() && OverriddenFileExists(message.text);
}

// A message the library repeats during one run (one per part of a listing, twice per lookup) is
// shown the first time only; pmtool runs one command per process.
bool SeenBefore(const Port::Message& message) {
  static std::set<std::tuple<Port::MsgKind, int, std::string>> seen;
  return !seen.emplace(message.kind, message.code, message.text).second;
}

// Status texts (dumps, usage files) are pages meant for the terminal: their line ends and tabs
// stay.
void HandleMessage(const Port::Message& message) {
  if (message.kind == Port::MsgKind::Status || message.kind == Port::MsgKind::Debug) {
    Port::Message printable = message;
    printable.text = Printable(message.text, "\n\t");
    Port::DefaultMsgHandler(printable);
    return;
  }
  if (!Wanted(message) || SeenBefore(message)) return;
  std::cout.flush();
  std::cerr << MessagePrefix() << ": " << KindLabel(message)
            << Printable(WithoutFinalNewline(message.text)) << '\n';
}

// The C escape of a control character.
std::string Escape(unsigned char c) {
  switch (c) {
    case '\a':
      return "\\a";
    case '\b':
      return "\\b";
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\v':
      return "\\v";
    case '\f':
      return "\\f";
    case '\r':
      return "\\r";
    default:
      break;
  }
  const char* const digits = "0123456789abcdef";
  return std::string("\\x") + digits[c >> 4] + digits[c & 0xf];
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

}  // namespace

std::string Printable(const std::string& text, const std::string& kept) {
  std::string printable;
  printable.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte) && kept.find(c) == std::string::npos) {
      printable += Escape(byte);
    } else {
      printable += c;
    }
  }
  return printable;
}

void PrintLine(const std::string& text) { std::cout << Printable(text) << '\n'; }

void PrintLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) PrintLine(line);
}

void InstallMessageHandler() { Port::SetMsgHandler(HandleMessage); }

void SetMessagePrefix(const std::string& prefix) { MessagePrefix() = prefix; }

void ShowOverrideMessages(bool shown) { OverrideMessagesShown() = shown; }

void PrintError(const std::string& text) {
  std::cout.flush();
  std::cerr << MessagePrefix() << ": " << Printable(text) << '\n';
}

void ReserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    // Opened for reading only, so that writes to it fail with EBADF as they would on a closed one.
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) ::open("/dev/null", O_RDONLY);
  }
}

namespace {

bool OutputFailed() { return !std::cout || std::ferror(stdout); }

void ReportOutputFailure(int error) {
  std::cout.clear();
  PrintError(std::string("cannot write the output") +
             (error ? std::string(": ") + std::strerror(error) : ""));
}

}  // namespace

void StopIfOutputFailed() {
  if (!OutputFailed()) return;
  ReportOutputFailure(errno);
  std::_Exit(kExitProblem);
}

int FinishOutput(int status) {
  errno = 0;
  std::cout.flush();
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !OutputFailed()) return status;
  ReportOutputFailure(errno);
  return status == kExitOk ? kExitProblem : status;
}

int UsageHint(const std::string& helpCommand) {
  std::cerr << "Run '" << helpCommand << " --help' for usage.\n";
  return kExitUsage;
}

int UsageError(const std::string& text, const std::string& helpCommand) {
  PrintError(text);
  return UsageHint(helpCommand);
}

namespace {

// Replacement of invalid UTF-8 keeps odd bytes in names from aborting the output.
std::string Dumped(const nlohmann::ordered_json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

void PrintJson(const nlohmann::ordered_json& value) { std::cout << Dumped(value, 2) << '\n'; }

JsonArrayStream::JsonArrayStream(const nlohmann::ordered_json& head, const std::string& arrayKey) {
  std::cout << "{\n";
  for (const auto& member : head.items()) {
    std::cout << "  " << Dumped(member.key(), -1) << ": " << Dumped(member.value(), -1) << ",\n";
  }
  std::cout << "  " << Dumped(arrayKey, -1) << ": [";
}

void JsonArrayStream::add(const nlohmann::ordered_json& element) {
  std::cout << (empty_ ? "\n" : ",\n") << "    " << Dumped(element, -1);
  empty_ = false;
  StopIfOutputFailed();
}

JsonArrayStream::~JsonArrayStream() { std::cout << (empty_ ? "]" : "\n  ]") << "\n}\n"; }

void Table::add(std::vector<std::string> row) {
  for (std::string& cell : row) cell = Printable(cell);
  rows_.push_back(std::move(row));
}

std::string Table::str(const std::string& indent, std::size_t gap) const {
  std::vector<std::size_t> widths;
  for (const auto& row : rows_) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string text;
  for (const auto& row : rows_) {
    text += indent;
    for (std::size_t column = 0; column < row.size(); ++column) {
      text += row[column];
      if (column + 1 < row.size()) text.append(widths[column] - row[column].size() + gap, ' ');
    }
    // An empty last cell would leave the padding behind.
    text.erase(text.find_last_not_of(' ') + 1);
    text += '\n';
  }
  return text;
}

std::string UnreadableReason(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) return "no such file";
  if (std::filesystem::is_directory(status)) return "is a directory";
  if (!std::filesystem::is_regular_file(status)) return "not a regular file";
  if (::access(path.c_str(), R_OK) != 0) return std::generic_category().message(errno);
  return std::string();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace pmtool
