// Every message the platform layer issues, once: its name, kind, code and text (the printf format
// it is issued with). A source issues one with PORT_ISSUE(where, Name, arguments...); tests
// recognise one by its entry (Port::msg::Name) without restating the text.
#ifndef PMPORT_SRC_PORT_MESSAGES_H
#define PMPORT_SRC_PORT_MESSAGES_H

#include "pmport/port_msg.h"

// clang-format off
#define PMPORT_MESSAGES(X)                                                                         \
  /* Environment and installation. */                                                             \
  X(NotAWordName, Warning, 0,                                                                      \
    "%s is not a %s name (letters, digits, \"_\" and \"-\" only); %s is used.\n")                  \
  X(Override, Warning, 0, "%s: %s overrides %s\n")                                                 \
  X(CannotOpenForReading, Warning, 0, "Cannot open file \"%s\" for reading.\n")                    \
  /* Command lines. */                                                                            \
  X(UnknownOption, Warning, 0, "unknown option \"%s\"\n")                                          \
  X(OptionNeedsValue, Warning, 0, "the option \"%s\" needs a value\n")                             \
  X(MalformedOptionSpec, Warning, 0, "the option specification of \"%s\" is malformed: %s\n")      \
  X(CommandFileNamesItself, Warning, 0, "the command file \"%s\" names itself; skipped\n")         \
  X(CommandFilesTooDeep, Warning, 0, "command files are nested too deeply at \"%s\"; skipped\n")   \
  X(CannotReadCommandFile, Warning, 0, "cannot read the command file \"%s\"\n")
// clang-format on

namespace Port {
namespace msg {

PMPORT_MESSAGE_TABLE(PMPORT_MESSAGES)

}  // namespace msg
}  // namespace Port

// Issues the platform layer's message `NAME` on the message object `WHERE`, with the arguments
// its text asks for.
#define PORT_ISSUE(WHERE, NAME, ...) \
  (WHERE).issue(::Port::msg::NAME, ::Port::msg::text::NAME, ##__VA_ARGS__)

#endif  // PMPORT_SRC_PORT_MESSAGES_H
