/// @file pmlib/installation.h
/// @brief The installation as values: its folders, its modules and architectures.
#ifndef PMLIB_INSTALLATION_H
#define PMLIB_INSTALLATION_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pmlib/export.h>
#include <pmlib/module.h>

namespace pmlib {

/// @brief One installed module as the installation lists it.
struct ModuleEntry {
  std::string name;                  ///< the module's folder name
  std::optional<std::string> alias;  ///< the alias its definition registers, when any
  bool unsupported = false;          ///< found under data/unsupported/
  std::string definition;            ///< the definition file the library reads
};

/// @brief Where the installation keeps a module, whether or not its definition reads.
struct ModuleLocation {
  std::string name;  ///< the module's folder name
  /// The definition the library reads: the first root's copy among the supported modules, else
  /// among the unsupported ones; empty when no data folder holds one.
  std::optional<std::string> definition;
  /// Its data folders ("<root>/<name>/data/"), in every root that has one, first root first.
  std::vector<std::string> dataFolders;
  bool unsupported = false;  ///< only the unsupported folders (data/unsupported/) hold it
};

/// @brief Which modules modules() lists.
struct ModuleQuery {
  /// Only modules whose definition has this key ...
  std::optional<std::string> key;
  /// ... with this value (ignoring case).
  std::optional<std::string> value;
  /// List BASE_MODE TRUE modules too.
  bool withBaseMode = false;
  /// Add the unsupported modules (not filtered by key).
  bool withUnsupported = false;
};

/// @brief Which architectures architectures() lists.
struct ArchitectureQuery {
  /// Only architectures whose definition has this key ("LOGICAL", "PHYSICAL": SUPPORT_MODE) ...
  std::optional<std::string> key;
  /// ... with this value (ignoring case).
  std::optional<std::string> value;
  /// List BASE_MODE TRUE architectures too.
  bool withBaseMode = false;
  /// List configuration architectures (ARCH_TYPE CONFIG) too.
  bool withConfiguration = false;
};

/// The installation folders, first overriding, last the base installation: what KORVAN_PATH
/// said at first use or what setInstallation() set. Empty when none is set.
/// Thread safety: any thread, once set.
PMLIB_API std::vector<std::string> installation();

/// Replaces the installation folders (Port::KorvanPath::Set). The library's caches are keyed by
/// names and live for the process: call it before the first lookup, on one thread.
PMLIB_API void setInstallation(const std::vector<std::string>& folders);

/// The installed modules, in byte order of their names (unsupported ones after the others).
/// @throws Error NoInstallation when no installation is set.
/// Thread safety: fills the alias registry; one thread at a time, like setting up modules.
PMLIB_API std::vector<ModuleEntry> modules(const ModuleQuery& query = {});

/// Every module folder of every root, supported or unsupported, whether its definition reads or
/// not (a data folder holding the definition or the marker "qordata.etc"), sorted, each once:
/// what an installation check walks.
/// @throws Error NoInstallation when no installation is set.
/// Thread safety: any thread; it only reads folders.
PMLIB_API std::vector<std::string> moduleFolders();

/// Where the installation keeps the module @p name; no definition is read, so a broken module
/// is located too. A name that is not plain (empty, ".", "..", holding "/") names no folder and
/// is located nowhere. Thread safety: any thread.
/// @throws Error NoInstallation when no installation is set.
PMLIB_API ModuleLocation locateModule(std::string_view name);

/// The unsupported modules (under data/unsupported/) by name, in byte order: the registry's
/// unsupported list without its "VENDOR:" tags.
/// @throws Error NoInstallation when no installation is set.
/// Thread safety: fills the unsupported list on first use; one thread at a time, like modules().
PMLIB_API std::vector<std::string> unsupportedModules();

/// The installed architectures as "VENDOR:FAMILY", in byte order (the list of an empty part).
/// @throws Error NoInstallation when no installation is set.
/// Thread safety: one thread at a time, like setting up parts.
PMLIB_API std::vector<std::string> architectures(const ArchitectureQuery& query = {});

}  // namespace pmlib

#endif  // PMLIB_INSTALLATION_H
