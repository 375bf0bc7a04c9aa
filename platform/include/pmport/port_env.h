// Environment: variables, the platform's and the language's names, override reports.
#ifndef PMPORT_PORT_ENV_H
#define PMPORT_PORT_ENV_H

#include <pmport/export.h>

class PMPORT_API Port_Env {
 public:
  // The value of the environment variable `name`, or null when it is not set (or `name` is null).
  static const char* GetEnv(const char* name);

  // The platform's short name: KORVAN_PLATFORM when set and not empty, else "lin64" on a 64-bit
  // build and "lin" on a 32-bit one. A value that is no word name (Port::IsWordName) counts as
  // unset, with one warning per process: the name becomes part of paths.
  static const char* GetPlatformPath();

  // The language name: KORVAN_LANG when set and not empty, else "usenglish"; a value that is no
  // word name counts as unset, as for the platform.
  static const char* GetLang();

  // Reports that `pathUsed`, found in an overriding installation directory, was taken instead of
  // `pathInLast` of the base installation. Delivered as a Warning message of domain "Port" with the
  // text "<category>: <pathUsed> overrides <pathInLast>\n" (a warning rather than a status line so
  // that it reaches standard error and never mixes with a tool's regular output).
  static void IssueOverrideMessage(const char* pathInLast, const char* pathUsed,
                                   const char* category);
};

#endif  // PMPORT_PORT_ENV_H
