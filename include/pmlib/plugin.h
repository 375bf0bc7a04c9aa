/// @file pmlib/plugin.h
/// @brief A module's plug-in libraries as values: its virtual entries ("VENTRY_" keys), whether
/// each resolves to a function of a loaded library and why not, and a library's file and
/// dependencies. pmlib::Module hands them out.
#ifndef PMLIB_PLUGIN_H
#define PMLIB_PLUGIN_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pmlib/export.h>

namespace pmlib {

/// @brief What the text of a virtual entry says, before any library is looked at.
enum class EntryForm {
  Named,      ///< a symbol in a library: "symbol,library" or "symbol(...),library"
  Absent,     ///< neither VENTRY_<PLATFORM>_<function> nor VENTRY_<function> is present
  Empty,      ///< the first ";"-separated field of the value is empty
  NoParen,    ///< a "(" in the symbol without its ")"
  NoLibrary,  ///< nothing usable as a library name after the symbol
  Null,       ///< the symbol or the library is "NULL": the generic implementation is wanted
};

/// @brief One virtual entry of a module and what became of it.
///
/// Resolving an entry loads its library (dependencies first) into the process-wide registry,
/// where it stays until the library is unloaded, as PM_DLM does.
/// Thread safety: a plain value.
struct VirtualEntry {
  std::string function;                    ///< the replaced function ("route")
  EntryForm form = EntryForm::Absent;      ///< what the entry's text says
  std::optional<std::string> key;          ///< the key that gave the value (platform key first)
  std::optional<std::string> field;        ///< the value's first ";"-separated field
  std::optional<std::string> symbol;       ///< the symbol, for a Named entry
  std::optional<std::string> library;      ///< the library name, for a Named entry
  std::optional<std::string> libraryFile;  ///< the library's path when it is installed
  bool loaded = false;                     ///< whether the library is loaded
  bool resolves = false;  ///< whether a replacement function was found (PM_DLM::get_ventrypoint)
  /// Why the generic implementation applies; empty when the entry resolves.
  std::string reason;
};

/// @brief A plug-in library of a module as the installation holds it.
/// Thread safety: a plain value.
struct Library {
  std::string name;                 ///< as requested ("arch")
  std::optional<std::string> file;  ///< lib/<platform>/lib<name>.so when installed
  /// The libraries that lib<name>.acd lists under DEPEND (loaded first), in file order.
  std::vector<std::string> dependencies;
};

/// The key a virtual entry of @p function is read from: "VENTRY_<PLATFORM>_<function>" with
/// @p platform (the platform's key, read first), else "VENTRY_<function>". An empty function
/// gives the keys' prefix. Thread safety: any thread.
PMLIB_API std::string virtualEntryKey(std::string_view function, bool platform);

/// What the text of a virtual entry says: @p field, the first ";"-separated field of a VENTRY_
/// value, read as the library reads it (form, field, symbol, library); nothing is looked up or
/// loaded, function and key stay empty. Thread safety: any thread.
PMLIB_API VirtualEntry parseVirtualEntry(std::string_view field);

}  // namespace pmlib

#endif  // PMLIB_PLUGIN_H
