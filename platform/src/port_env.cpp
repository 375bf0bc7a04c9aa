// Environment: variables, the platform's and the language's names, override reports.
#include "pmport/port_env.h"

#include <cstdlib>

#include "pmport/port_msg.h"

namespace {

// The variable's value when it is set and not empty, else `fallback`.
const char* NonEmptyEnvOr(const char* name, const char* fallback) {
  const char* value = Port_Env::GetEnv(name);
  return value && *value ? value : fallback;
}

const char* NativePlatformName() { return sizeof(void*) >= 8 ? "lin64" : "lin"; }

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

const char* Port_Env::GetEnv(const char* name) { return name ? std::getenv(name) : nullptr; }

const char* Port_Env::GetPlatformPath() {
  return NonEmptyEnvOr("KORVAN_PLATFORM", NativePlatformName());
}

const char* Port_Env::GetLang() { return NonEmptyEnvOr("KORVAN_LANG", "usenglish"); }

void Port_Env::IssueOverrideMessage(const char* pathInLast, const char* pathUsed,
                                    const char* category) {
  Port_MsgManData::createObject("Port", "port_env", __LINE__, "1")
      .issueWarning("%s: %s overrides %s\n", OrEmpty(category), OrEmpty(pathUsed),
                    OrEmpty(pathInLast));
}
