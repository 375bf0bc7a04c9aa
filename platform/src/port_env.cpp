// Environment: variables, the platform's and the language's names, override reports.
#include "pmport/port_env.h"

#include <atomic>
#include <cstdlib>

#include "pmport/port_msg.h"
#include "pmport/port_path.h"
#include "port_messages.h"

namespace {

// The variable's value when it is set and not empty, else `fallback`.
const char* NonEmptyEnvOr(const char* name, const char* fallback) {
  const char* value = Port_Env::GetEnv(name);
  return value && *value ? value : fallback;
}

// The variable's value when it is a word name (it becomes part of paths), else `fallback`; a value
// that is set but no word name is reported once per process, as if the variable were unset.
const char* WordEnvOr(const char* name, const char* fallback, const char* what,
                      std::atomic<bool>& reported) {
  const char* value = NonEmptyEnvOr(name, fallback);
  if (Port::IsWordName(value)) return value;
  if (!reported.exchange(true)) {
    PORT_ISSUE(Port_MsgManData::createObject("Port", "port_env", __LINE__, "1"), NotAWordName, name,
               what, fallback);
  }
  return fallback;
}

const char* NativePlatformName() { return sizeof(void*) >= 8 ? "lin64" : "lin"; }

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

const char* Port_Env::GetEnv(const char* name) { return name ? std::getenv(name) : nullptr; }

const char* Port_Env::GetPlatformPath() {
  static std::atomic<bool> reported{false};
  return WordEnvOr("KORVAN_PLATFORM", NativePlatformName(), "platform", reported);
}

const char* Port_Env::GetLang() {
  static std::atomic<bool> reported{false};
  return WordEnvOr("KORVAN_LANG", "usenglish", "language", reported);
}

void Port_Env::IssueOverrideMessage(const char* pathInLast, const char* pathUsed,
                                    const char* category) {
  PORT_ISSUE(Port_MsgManData::createObject("Port", "port_env", __LINE__, "1"), Override,
             OrEmpty(category), OrEmpty(pathUsed), OrEmpty(pathInLast));
}
