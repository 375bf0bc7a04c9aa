// Where an installation root keeps a module's files. A supported module keeps them in
// "<root>/<module>/data/", an unsupported one in "<root>/data/unsupported/<module>/data/". A
// module's definition is "<module>.acd" in its data folder; "qordata.etc" there marks a module
// folder even without a definition of its own.
//
// Every name joined into a path passes the rule of Port::IsPlainName first: a module, device,
// platform or language name that is not plain (empty, "." or "..", with "/" or NUL) names nothing,
// so no path built here or from these pieces leaves the installation. Data-file names asked for by
// callers may reach into sub-folders of a data folder ("sub/file.txt", Port::IsRelativeSubPath),
// never above it.
#ifndef PMLIB_S_PMLAYOUT_H
#define PMLIB_S_PMLAYOUT_H

#include <initializer_list>
#include <string>
#include <string_view>

#include <pmport/port_path.h>
#include <pmport/port_string.h>

namespace PersonalityModule::Layout {

// Whether `name` can be a module's name, or a device's, or the name of a device's file: a plain
// name.
inline bool IsModuleName(const Port::String& name) { return Port::IsPlainName(name.str()); }

// Whether `name` can name a file in a data folder: a relative path of plain names.
inline bool IsDataFileName(const Port::String& name) { return Port::IsRelativeSubPath(name.str()); }
inline constexpr char kModuleMarker[] = "qordata.etc";

// The pieces one after the other, made in one allocation: paths are built on every lookup.
inline Port::String Joined(std::initializer_list<std::string_view> pieces) {
  std::size_t length = 0;
  for (const std::string_view piece : pieces) length += piece.size();
  std::string joined;
  joined.reserve(length);
  for (const std::string_view piece : pieces) joined.append(piece);
  return Port::String(std::move(joined));
}

// What follows a root to reach the folder of module folders: "/" or "/data/unsupported/".
inline const char* ModulesPrefixText(bool unsupported) {
  return unsupported ? "/data/unsupported/" : "/";
}
inline Port::String ModulesPrefix(bool unsupported) { return ModulesPrefixText(unsupported); }

// "<module>/data/", relative to the folder of module folders.
inline Port::String DataFolder(const Port::String& module) {
  return Joined({module.str(), "/data/"});
}

// "<module>/data/<module>.acd", relative to the folder of module folders.
inline Port::String Definition(const Port::String& module) {
  return Joined({module.str(), "/data/", module.str(), ".acd"});
}

// The module's data folder under `root`, with its trailing "/".
inline Port::String DataDir(const Port::String& root, const Port::String& module,
                            bool unsupported) {
  return Joined({root.str(), ModulesPrefixText(unsupported), module.str(), "/data/"});
}

// The module's definition under `root`; empty (no file) for a name that is no module name.
inline Port::String DefinitionPath(const Port::String& root, const Port::String& module,
                                   bool unsupported) {
  if (!IsModuleName(module)) return Port::String();
  return Joined(
      {root.str(), ModulesPrefixText(unsupported), module.str(), "/data/", module.str(), ".acd"});
}

// A device's data file `fileName` ("<internal name>.pkg") in the module's data folder under
// `root`; empty (no file) when either name is not plain.
inline Port::String DataFile(const Port::String& root, const Port::String& module, bool unsupported,
                             const Port::String& fileName) {
  if (!IsModuleName(module) || !IsModuleName(fileName)) return Port::String();
  return Joined(
      {root.str(), ModulesPrefixText(unsupported), module.str(), "/data/", fileName.str()});
}

}  // namespace PersonalityModule::Layout

#endif  // PMLIB_S_PMLAYOUT_H
