// pmlib::Error and pmlib::MessageCapture: a stack of frames per thread, fed by one dispatcher
// that stands in for the process-wide handler while any frame lives.
#include "api_support.h"
#include "pmport/port_path.h"
#include "pmport/port_thread.h"

namespace pmlib {

namespace detail {
namespace {

thread_local MessageFrame* innermostFrame = nullptr;

// The dispatcher is installed while frames live on some thread; the handler it replaced gets
// every message no frame of the issuing thread swallows.
struct DispatcherState {
  Port_ThrMutex mutex;
  int frames = 0;
  Port::MsgHandler replaced;
};

DispatcherState& Dispatcher() {
  static DispatcherState state;
  return state;
}

void Forward(const Port::Message& message) {
  Port::MsgHandler replaced;
  {
    const Port::ThrGuard<Port_ThrMutex> guard(Dispatcher().mutex);
    replaced = Dispatcher().replaced;
  }
  if (replaced) {
    replaced(message);
  } else {
    Port::DefaultMsgHandler(message);
  }
}

void OpenFrame() {
  DispatcherState& state = Dispatcher();
  const Port::ThrGuard<Port_ThrMutex> guard(state.mutex);
  if (state.frames++ == 0) state.replaced = Port::SetMsgHandler(Dispatch);
}

void CloseFrame() {
  DispatcherState& state = Dispatcher();
  const Port::ThrGuard<Port_ThrMutex> guard(state.mutex);
  // The replaced handler stays known: a message another thread is delivering through the
  // dispatcher right now still reaches it.
  if (--state.frames == 0) Port::SetMsgHandler(state.replaced);
}

bool IsComplaint(Port::MsgKind kind) {
  return kind == Port::MsgKind::Fatal || kind == Port::MsgKind::UserFatal ||
         kind == Port::MsgKind::Internal;
}

std::string WithoutFinalNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

void Dispatch(const Port::Message& message) {
  for (MessageFrame* frame = innermostFrame; frame; frame = frame->outer_) {
    frame->messages.push_back(message);
    if (frame->swallow_) return;
  }
  Forward(message);
}

MessageFrame::MessageFrame(bool swallow) : swallow_(swallow), outer_(innermostFrame) {
  OpenFrame();
  innermostFrame = this;
}

MessageFrame::~MessageFrame() {
  innermostFrame = outer_;
  CloseFrame();
}

std::optional<Port::Message> CallWatch::Complaint(int code) const {
  const std::vector<Port::Message>& seen = frame_.messages;
  for (const Port::Message& message : seen) {
    if (code != 0 && message.code == code) return message;
  }
  for (const Port::Message& message : seen) {
    if (IsComplaint(message.kind)) return message;
  }
  return std::nullopt;
}

void RequireInstallation() {
  if (Port::KorvanPath::GetInstance().begin() != Port::KorvanPath::GetInstance().end()) return;
  throw Error(ErrorKind::NoInstallation, 0,
              "no installation is set: set KORVAN_PATH or call pmlib::setInstallation");
}

void Fail(ErrorKind kind, const CallWatch& watch, int code, const std::string& fallback) {
  const std::optional<Port::Message> complaint = watch.Complaint(code);
  if (!complaint) throw Error(kind, 0, fallback);
  throw Error(kind, complaint->code, WithoutFinalNewline(complaint->text));
}

PM_PARTNAME_BINDING ToBinding(Unsupported unsupported) {
  switch (unsupported) {
    case Unsupported::Refused:
      return PM_BINDING_SUPPORTED_ONLY;
    case Unsupported::Allowed:
      return PM_BINDING_ALLOW_UNSUPPORTED;
    case Unsupported::FromEnvironment:
      break;
  }
  return PM_BINDING_FROM_ENVIRONMENT;
}

std::optional<std::string> Text(const char* text) {
  if (!text || !*text) return std::nullopt;
  return std::string(text);
}

std::optional<std::string> Text(const Port::String& text) {
  if (text.empty()) return std::nullopt;
  return text.str();
}

std::vector<std::string> Names(const char* const* first, const char* const* last) {
  std::vector<std::string> names;
  for (; first != last; ++first) names.emplace_back(*first ? *first : "");
  return names;
}

}  // namespace detail

Error::Error(ErrorKind kind, int code, const std::string& message)
    : std::runtime_error(message), kind_(kind), code_(code) {}

struct MessageCapture::State {
  detail::MessageFrame frame{true};
};

MessageCapture::MessageCapture() : state_(std::make_unique<State>()) {}

MessageCapture::~MessageCapture() = default;

const std::vector<Port::Message>& MessageCapture::messages() const {
  return state_->frame.messages;
}

std::vector<Port::Message> MessageCapture::take() {
  std::vector<Port::Message> taken;
  taken.swap(state_->frame.messages);
  return taken;
}

}  // namespace pmlib
