// Where an installation root keeps a module's files. A supported module keeps them in
// "<root>/<module>/data/", an unsupported one in "<root>/data/unsupported/<module>/data/". A
// module's definition is "<module>.acd" in its data folder; "qordata.etc" there marks a module
// folder even without a definition of its own.
#ifndef PMLIB_S_PMLAYOUT_H
#define PMLIB_S_PMLAYOUT_H

#include <pmport/port_string.h>

namespace PersonalityModule::Layout {

inline constexpr char kUnsupportedFolder[] = "data/unsupported/";
inline constexpr char kModuleMarker[] = "qordata.etc";

// What follows a root to reach the folder of module folders: "/" or "/data/unsupported/".
inline Port::String ModulesPrefix(bool unsupported) {
  return Port::String("/") + (unsupported ? kUnsupportedFolder : "");
}

// "<module>/data/", relative to the folder of module folders.
inline Port::String DataFolder(const Port::String& module) { return module + "/data/"; }

// "<module>/data/<module>.acd", relative to the folder of module folders.
inline Port::String Definition(const Port::String& module) {
  return DataFolder(module) + module + ".acd";
}

// The module's data folder under `root`, with its trailing "/".
inline Port::String DataDir(const Port::String& root, const Port::String& module,
                            bool unsupported) {
  return root + ModulesPrefix(unsupported) + DataFolder(module);
}

inline Port::String DefinitionPath(const Port::String& root, const Port::String& module,
                                   bool unsupported) {
  return root + ModulesPrefix(unsupported) + Definition(module);
}

}  // namespace PersonalityModule::Layout

#endif  // PMLIB_S_PMLAYOUT_H
