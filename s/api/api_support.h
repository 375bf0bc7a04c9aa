// What the modern API's units share: the thread's message frames, turning a call's silence or
// complaints into pmlib::Error, and converting the handles' C strings into values.
#ifndef PMLIB_S_API_SUPPORT_H
#define PMLIB_S_API_SUPPORT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pmlib/error.h>
#include <pmlib/module.h>
#include <pmlib/pmspec.h>
#include <pmport/port_msg.h>
#include <pmport/port_string.h>

namespace pmlib::detail {

// The process-wide handler while message frames live: the issuing thread's frames, else the
// handler it stands in for.
void Dispatch(const Port::Message& message);

// One frame of the thread's message stack. A swallowing frame (MessageCapture) keeps what it
// sees; a watching frame records and lets the message go on outwards.
class MessageFrame {
 public:
  explicit MessageFrame(bool swallow);
  ~MessageFrame();
  MessageFrame(const MessageFrame&) = delete;
  MessageFrame& operator=(const MessageFrame&) = delete;

  std::vector<Port::Message> messages;

 private:
  friend void Dispatch(const Port::Message& message);
  const bool swallow_;
  MessageFrame* const outer_;
};

// Watches the messages of one call, so that a failure carries the library's code and text.
class CallWatch {
 public:
  CallWatch() : frame_(false) {}
  // The first Fatal or UserFatal message with code `code`, else the first fatal or internal one.
  std::optional<Port::Message> Complaint(int code = 0) const;

 private:
  MessageFrame frame_;
};

// Throws NoInstallation when no installation folder is set.
void RequireInstallation();

// Throws `kind` with the watched call's complaint (or `fallback` when it said nothing).
[[noreturn]] void Fail(ErrorKind kind, const CallWatch& watch, int code,
                       const std::string& fallback);

PM_PARTNAME_BINDING ToBinding(Unsupported unsupported);

// A NUL-terminated copy of a view, for the handles' C-string parameters.
inline std::string Terminated(std::string_view text) { return std::string(text); }

// Empty for null or "".
std::optional<std::string> Text(const char* text);
std::optional<std::string> Text(const Port::String& text);

// The names of a range of C strings (a handle's begin/end listing).
std::vector<std::string> Names(const char* const* first, const char* const* last);

}  // namespace pmlib::detail

#endif  // PMLIB_S_API_SUPPORT_H
