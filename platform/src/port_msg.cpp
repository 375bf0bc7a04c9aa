// Messages: formatting, the process-wide handler and its serialisation.
#include "pmport/port_msg.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "pmport/port_thread.h"

namespace {

std::string FormatV(const char* format, va_list args) {
  if (!format) return std::string();
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// The installed handler, and the lock that keeps two threads out of it at once.
struct Delivery {
  Port_ThrMutex handlerMutex;  // guards `handler`
  Port::MsgHandler handler;
  Port_ThrMutex deliveryMutex;  // held while a handler runs
};

Delivery& TheDelivery() {
  static Delivery delivery;
  return delivery;
}

// A handler that issues a message of its own re-enters on the same thread; that call runs
// without taking the delivery lock again, which the thread already holds.
thread_local bool insideHandler = false;

Port::MsgHandler CurrentHandler() {
  Delivery& delivery = TheDelivery();
  Port::ThrGuard<Port_ThrMutex> guard(delivery.handlerMutex);
  return delivery.handler;
}

void RunHandler(const Port::Message& message) {
  const Port::MsgHandler handler = CurrentHandler();
  const bool wasInside = insideHandler;
  insideHandler = true;
  if (handler) {
    handler(message);
  } else {
    Port::DefaultMsgHandler(message);
  }
  insideHandler = wasInside;
}

thread_local unsigned long long issuedOnThread = 0;
thread_local unsigned long long tracesOnThread = 0;

void Deliver(const Port::Message& message) {
  ++(message.kind != Port::MsgKind::Debug ? issuedOnThread : tracesOnThread);
  if (insideHandler) {
    RunHandler(message);
    return;
  }
  Port::ThrGuard<Port_ThrMutex> guard(TheDelivery().deliveryMutex);
  RunHandler(message);
}

std::string WithoutFinalNewline(const std::string& text) {
  if (!text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
  return text;
}

bool HasCode(Port::MsgKind kind) {
  return kind == Port::MsgKind::Fatal || kind == Port::MsgKind::UserFatal;
}

}  // namespace

namespace Port {

unsigned long long MessagesIssuedOnThread() { return issuedOnThread; }

unsigned long long TracesIssuedOnThread() { return tracesOnThread; }

MsgHandler SetMsgHandler(MsgHandler handler) {
  Delivery& delivery = TheDelivery();
  Port::ThrGuard<Port_ThrMutex> guard(delivery.handlerMutex);
  MsgHandler previous = std::move(delivery.handler);
  delivery.handler = std::move(handler);
  return previous;
}

const char* MsgKindName(MsgKind kind) {
  switch (kind) {
    case MsgKind::Fatal:
      return "FATAL";
    case MsgKind::UserFatal:
      return "USERFATAL";
    case MsgKind::Warning:
      return "WARNING";
    case MsgKind::Status:
      return "STATUS";
    case MsgKind::Internal:
      return "INTERNAL";
    case MsgKind::Debug:
      return "DEBUG";
  }
  return "MESSAGE";
}

void DefaultMsgHandler(const Message& message) {
  if (message.kind == MsgKind::Status) {
    std::fputs(message.text.c_str(), stdout);
    std::fflush(stdout);
    return;
  }
  if (message.kind == MsgKind::Debug && !std::getenv("PM_TRACE")) return;
  std::string line = MsgKindName(message.kind);
  if (!message.domain.empty()) line += ":" + message.domain;
  if (HasCode(message.kind)) line += ":" + std::to_string(message.code);
  line += " - " + WithoutFinalNewline(message.text) + "\n";
  std::fputs(line.c_str(), stderr);
}

}  // namespace Port

Port_MsgManData::Port_MsgManData(const char* domain, const char* unit, int line,
                                 const char* revision)
    : domain_(domain ? domain : ""),
      unit_(unit ? unit : ""),
      line_(line),
      revision_(revision ? revision : "") {}

Port_MsgManData Port_MsgManData::createObject(const char* domain, const char* unit, int line,
                                              const char* revision) {
  return Port_MsgManData(domain, unit, line, revision);
}

#define PMPORT_ISSUE(KIND, CODE)                                                     \
  do {                                                                               \
    va_list args;                                                                    \
    va_start(args, format);                                                          \
    Port::Message message{KIND, CODE, domain_, unit_, line_, FormatV(format, args)}; \
    va_end(args);                                                                    \
    Deliver(message);                                                                \
  } while (0)

void Port_MsgManData::issueFatal(int code, const char* format, ...) const {
  PMPORT_ISSUE(Port::MsgKind::Fatal, code);
}

void Port_MsgManData::issueUserFatal(int code, const char* format, ...) const {
  PMPORT_ISSUE(Port::MsgKind::UserFatal, code);
}

void Port_MsgManData::issueWarning(const char* format, ...) const {
  PMPORT_ISSUE(Port::MsgKind::Warning, 0);
}

void Port_MsgManData::issueStatus(const char* format, ...) const {
  PMPORT_ISSUE(Port::MsgKind::Status, 0);
}

void Port_MsgManData::issueInternal(const char* format, ...) const {
  PMPORT_ISSUE(Port::MsgKind::Internal, 0);
}

void Port_MsgManData::issue(const Port::MsgEntry& entry, const char* format, ...) const {
  PMPORT_ISSUE(entry.kind, entry.code);
}

void Port_MsgManData::debugStub(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Port::Message message{Port::MsgKind::Debug, 0, std::string(),
                        std::string(),        0, FormatV(format, args)};
  va_end(args);
  Deliver(message);
}

#undef PMPORT_ISSUE

Port_MsgManInit::Port_MsgManInit() { TheDelivery(); }
Port_MsgManInit::~Port_MsgManInit() = default;
