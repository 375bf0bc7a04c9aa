// Messages: every message of the library and the platform layer reaches one process-wide handler.
#ifndef PMPORT_PORT_MSG_H
#define PMPORT_PORT_MSG_H

#include <pmport/export.h>

#include <functional>
#include <string>

#if defined(__GNUC__)
#define PMPORT_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define PMPORT_PRINTF(fmt, first)
#endif

namespace Port {

enum class MsgKind { Fatal, UserFatal, Warning, Status, Internal, Debug };

struct PMPORT_API Message {
  MsgKind kind;
  int code;            // the numeric code of Fatal and UserFatal; 0 otherwise
  std::string domain;  // "PersonalityModule" for the library's messages; empty for debug traces
  std::string unit;    // source unit that issued it; empty for debug traces
  int line;            // source line; 0 for debug traces
  std::string text;    // the printf-expanded text exactly as issued, trailing "\n" kept
};

// One row of a table of messages (the library and the platform layer each keep one): the
// message's name, kind, code and text, the printf format it is issued with.
struct MsgEntry {
  const char* name;
  MsgKind kind;
  int code;  // the numeric code of Fatal and UserFatal; 0 otherwise
  const char* text;
};

// A table of messages in the current namespace from LIST(X), whose rows are
// X(Name, Kind, code, "text"): each text as an array text::Name (a format the compiler sees at
// every issuing call), each entry as Name, and every entry in the order of the list as kAll.
#define PMPORT_MESSAGE_TEXT(name, kind, code, format) constexpr char name[] = format;
#define PMPORT_MESSAGE_ENTRY(name, kind, code, format) \
  constexpr ::Port::MsgEntry name{#name, ::Port::MsgKind::kind, code, text::name};
#define PMPORT_MESSAGE_ROW(name, kind, code, format) name,
#define PMPORT_MESSAGE_TABLE(LIST) \
  namespace text {                 \
  LIST(PMPORT_MESSAGE_TEXT)        \
  }                                \
  LIST(PMPORT_MESSAGE_ENTRY)       \
  constexpr ::Port::MsgEntry kAll[] = {LIST(PMPORT_MESSAGE_ROW)};

using MsgHandler = std::function<void(const Message&)>;

// Installs `handler` and returns the previous one; an empty handler restores the default.
// Handler calls are serialised: the handler is never entered on two threads at once.
PMPORT_API MsgHandler SetMsgHandler(MsgHandler handler);

// The default handler: Status texts to stdout unchanged; Warning, Internal, Fatal and UserFatal
// to stderr as "KIND:DOMAIN:CODE - text" (CODE only for the fatal kinds); Debug to stderr only
// when PM_TRACE is present in the environment.
PMPORT_API void DefaultMsgHandler(const Message& message);

// The name of a message kind as the default handler prints it ("FATAL", "WARNING", ...).
PMPORT_API const char* MsgKindName(MsgKind kind);

// How many messages other than debug traces were issued on this thread so far: an operation that
// remembers its result can tell whether redoing it would say something again.
PMPORT_API unsigned long long MessagesIssuedOnThread();
// How many debug traces were issued on this thread so far: with the count above, whether
// redoing an operation would deliver anything at all again.
PMPORT_API unsigned long long TracesIssuedOnThread();

}  // namespace Port

// A message object: where a message comes from. Obtain one with createObject and issue on it.
class PMPORT_API Port_MsgManData {
 public:
  static Port_MsgManData createObject(const char* domain, const char* unit, int line,
                                      const char* revision);

  void issueFatal(int code, const char* format, ...) const PMPORT_PRINTF(3, 4);
  void issueUserFatal(int code, const char* format, ...) const PMPORT_PRINTF(3, 4);
  void issueWarning(const char* format, ...) const PMPORT_PRINTF(2, 3);
  void issueStatus(const char* format, ...) const PMPORT_PRINTF(2, 3);
  void issueInternal(const char* format, ...) const PMPORT_PRINTF(2, 3);
  // Issues `entry`, of its kind and code. `format` is the entry's text once more, spelled out at
  // the call (the tables' issuing macros do that) so that the compiler checks the arguments.
  void issue(const Port::MsgEntry& entry, const char* format, ...) const PMPORT_PRINTF(3, 4);

  // A debug trace; delivered with kind Debug (the default handler shows it only under PM_TRACE).
  static void debugStub(const char* format, ...) PMPORT_PRINTF(1, 2);

  const std::string& domain() const { return domain_; }
  const std::string& unit() const { return unit_; }
  int line() const { return line_; }
  const std::string& revision() const { return revision_; }

 private:
  Port_MsgManData(const char* domain, const char* unit, int line, const char* revision);

  std::string domain_;
  std::string unit_;
  int line_;
  std::string revision_;
};

// Per-unit initialisation object of the message manager; units construct one at load.
class PMPORT_API Port_MsgManInit {
 public:
  Port_MsgManInit();
  ~Port_MsgManInit();
  Port_MsgManInit(const Port_MsgManInit&) = delete;
  Port_MsgManInit& operator=(const Port_MsgManInit&) = delete;
};

#endif  // PMPORT_PORT_MSG_H
