/// @file pmlib/error.h
/// @brief pmlib::Error, what the modern API throws, and pmlib::MessageCapture, which collects
/// the library's messages on the caller's thread.
#ifndef PMLIB_ERROR_H
#define PMLIB_ERROR_H

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <pmlib/export.h>
#include <pmport/port_msg.h>

namespace pmlib {

/// @brief Why a call of the modern API could not produce a result.
enum class ErrorKind {
  NoInstallation,        ///< no installation folder is set (KORVAN_PATH, Port::KorvanPath::Set)
  NoSuchModule,          ///< no installation holds a module of that name or alias
  UnreadableDefinition,  ///< the module's definition file does not read or is not its own
  NoSuchDevice,          ///< the module has no device of that name
};

/// @brief What the modern API throws when a call cannot produce a result.
///
/// A part name that fails validation is not an error: pmlib::Part reports it as a value.
/// code() is the library's message code (33 for a module installed nowhere) and message() the
/// library's message text without its final newline; code() is 0 and message() pmlib's own text
/// where the library stays silent (no installation set).
/// Thread safety: an immutable value; any thread may read it.
class PMLIB_API Error : public std::runtime_error {
 public:
  /// An error of @p kind with the library's @p code and @p message.
  Error(ErrorKind kind, int code, const std::string& message);
  /// Why the call failed.
  ErrorKind kind() const noexcept { return kind_; }
  /// The library's message code; 0 when the library gave none.
  int code() const noexcept { return code_; }
  /// The message text (what() too).
  std::string message() const { return what(); }

 private:
  ErrorKind kind_;
  int code_;
};

/// @brief Collects every message the library issues on the constructing thread while it lives.
///
/// Nested captures on one thread: the innermost collects. Messages of other threads, and of this
/// thread once the capture is gone, go to the handler that was installed before the first
/// capture opened (Port::SetMsgHandler), so a program need not install a process-wide handler to
/// hear what one call said. While any capture lives (and while a call of the modern API that may
/// throw watches its messages for the error's code) the process-wide handler is pmlib's
/// dispatcher, which passes on what it does not capture: call Port::SetMsgHandler before, not
/// while other threads use the modern API (the last frame to close puts the previous handler
/// back).
///
/// Thread safety: a capture belongs to the thread that made it; destroy it on that thread, in
/// the reverse order of construction. Captures on different threads are independent.
class PMLIB_API MessageCapture {
 public:
  /// Starts collecting this thread's messages.
  MessageCapture();
  /// Stops collecting; the previous capture of this thread, if any, collects again.
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  /// The messages collected so far, oldest first.
  const std::vector<Port::Message>& messages() const;
  /// The messages collected so far; the capture starts over empty.
  std::vector<Port::Message> take();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pmlib

#endif  // PMLIB_ERROR_H
