// Architecture-library internals: reading a virtual entry ("VENTRY_" key) and cutting library
// names. Not installed; pmtool shows what the library makes of an entry.
#ifndef PMLIB_S_BASPMDLM_H
#define PMLIB_S_BASPMDLM_H

#include <string>

class PM_DEVKEY;

// What a virtual entry says.
enum class PMVentryStatus {
  Found,      // a symbol in a library
  Absent,     // neither key is present
  Empty,      // the first ";"-separated field of the value is empty
  NoParen,    // a "(" in the symbol without its ")"
  NoLibrary,  // no "," (nor parentheses), or nothing usable as a library name
  Null,       // the symbol or the library is "NULL" (any letter case): no replacement
};

struct PMVentry {
  PMVentryStatus status = PMVentryStatus::Absent;
  std::string key;      // the key that gave the value; empty when absent
  std::string field;    // the value's first ";"-separated field
  std::string symbol;   // the symbol in the platform's exported form
  std::string library;  // the library name
};

// "VENTRY_" + the platform name in upper case + "_" + `function`.
std::string PMVentryPlatformKey(const char* function);
// "VENTRY_" + `function`.
std::string PMVentryKey(const char* function);
// The virtual entry of `function` in `store`: the platform's key when it has a value, else the
// plain key.
PMVentry PMReadVentry(const PM_DEVKEY& store, const char* function);
// The parts of the first field of a virtual entry: "symbol(...)Xlibrary" (X any one character)
// or "symbol , library".
PMVentry PMParseVentryField(const std::string& field);
// The library name that `text` starts with: its leading blanks, then the characters
// UT_STR::IsAscii accepts, so that no name can carry a path separator.
std::string PMLibraryName(const std::string& text);

#endif  // PMLIB_S_BASPMDLM_H
