/// @file pmlib/module.h
/// @brief pmlib::Module: one personality module (architecture) as values: identity, friend
/// chain, keys, devices, files and plug-in libraries.
#ifndef PMLIB_MODULE_H
#define PMLIB_MODULE_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pmlib/export.h>
#include <pmlib/plugin.h>

class PM_PIC;

namespace pmlib {

/// @brief Whether a lookup may use unsupported modules (those under data/unsupported/).
enum class Unsupported {
  Refused,          ///< never
  Allowed,          ///< yes
  FromEnvironment,  ///< as QOR_USE_UNSUPPORTED_PMS said when the library was loaded
};

/// @brief A module's ARCH_TYPE.
enum class ModuleType {
  FPGA,    ///< "FPGA", also when ARCH_TYPE is absent or empty
  CPLD,    ///< "CPLD"
  CONFIG,  ///< "CONFIG": configuration memories
  Other,   ///< any other text (Module::typeName() has it)
};

/// @brief Addresses part of a key's value: field @p index of the value split at
/// @p separator, then subfield @p subIndex of that field split at @p subSeparator. A 0
/// separator means no split.
struct Field {
  char separator = 0;     ///< e.g. ':' between devices of DEVICE_INTERNAL
  short index = 0;        ///< the field, from 0
  char subSeparator = 0;  ///< e.g. ',' between a device's names
  short subIndex = 0;     ///< the subfield, from 0
};

/// @brief One device of a module, as the part levels see it.
/// Thread safety: a plain value.
struct Device {
  std::string name;                        ///< the module's device name ("xcab40e")
  std::vector<std::string> internalNames;  ///< at least one ("NO_INTERNAL_DEVICE_NAME" if none)
  std::vector<std::string> packages;       ///< the packages a part of it may have
  /// The speed grades of its first package (DISALLOW_SPEEDS left out); empty without packages.
  std::vector<std::string> speeds;
  /// Every speed grade its speed file lists, DISALLOW_SPEEDS included.
  std::vector<std::string> speedGrades;
  std::optional<std::string> subfamily;  ///< from SUBFAM_FORMAT and SUBFAM_NAMES
  std::vector<std::string> ranges;       ///< the module's RANGES ("C", "I")
};

/// The regular expression the part-name parser compiles for a DEVICE_FORMAT or
/// ALT_DEVICE_FORMAT value: after a "#" an expression used as it stands, otherwise a template
/// whose leading "x" and "c" become optional and whose runs of "_" stand for digits.
/// Thread safety: any thread.
PMLIB_API std::string deviceFormatExpression(std::string_view format);

/// The groups of a DEVICE_INTERNAL value as the library reads it: each group the device's name
/// followed by its internal names ("xcab12e,ab12e:xcab40e,ab40e" gives two groups).
/// Thread safety: any thread.
PMLIB_API std::vector<std::vector<std::string>> deviceTable(std::string_view value);

/// The keys of definition files the library reads ("ARCH_NAME", "DEVICE_INTERNAL", ...), and
/// "DEPEND" of library dependency files. Other keys are no fault: design tools read their own.
/// Thread safety: any thread.
PMLIB_API const std::vector<std::string>& definitionKeys();

/// The prefixes of the key families the library reads: "VENTRY_" (VENTRY_<function> and
/// VENTRY_<PLATFORM>_<function>) and "ALIAS_" (ALIAS_<ARCH_NAME>).
/// Thread safety: any thread.
PMLIB_API const std::vector<std::string>& definitionKeyPrefixes();

/// @brief One personality module: its definition merged with its friend chain.
///
/// Wraps a PM_PIC of the architecture (PM_SPEC for files and keys); every answer comes from that
/// handle, and what it caches (definition readers, lists, aliases) is shared process-wide and
/// kept for the life of the process, as for the handle. The files a module has are looked up at
/// each call.
///
/// Thread safety: one object per thread. Construction and copying set a specification, which
/// fills unlocked process-wide tables: construct and copy modules on one thread at a time. The
/// queries of a constructed module may run on several threads, each on its own object (the first
/// listing of devices builds shared lists: do it while no other thread sets up modules or parts).
class PMLIB_API Module {
 public:
  /// Opens the module @p name (a name or an alias). A module that only the unsupported folders
  /// hold is opened only when @p unsupported allows it, whatever the registry has listed.
  /// @throws Error NoInstallation when no installation is set, NoSuchModule (code 33) when none
  ///         holds it (or only the unsupported folders do, and they are not allowed),
  ///         UnreadableDefinition when its definition does not read.
  explicit Module(std::string_view name, Unsupported unsupported = Unsupported::Refused);
  /// Opens the same module again.
  Module(const Module& other);
  /// Opens @p other's module again.
  Module& operator=(const Module& other);
  /// Takes @p other's handle; @p other is left without one and must not be queried.
  Module(Module&& other) noexcept;
  /// Takes @p other's handle.
  Module& operator=(Module&& other) noexcept;
  /// Releases the handle.
  ~Module();

  /// The module's name, lower case ("gamma").
  std::string name() const;
  /// The alias its definition registers; empty when it has none.
  std::optional<std::string> alias() const;
  /// Whether it was found among the unsupported modules.
  bool unsupported() const;
  /// The definition file the library read ("<root>/gamma/data/gamma.acd").
  std::string definition() const;
  ///@{
  /// VENDOR and FAMILY; empty when the definitions give none.
  std::optional<std::string> vendor() const;
  std::optional<std::string> family() const;
  ///@}
  /// ARCH_TYPE as an enum.
  ModuleType type() const;
  /// ARCH_TYPE upper case, "FPGA" when absent.
  std::string typeName() const;
  /// The friend chain, nearest first ("beta", "alpha" for gamma); empty without friends.
  std::vector<std::string> friends() const;

  /// The whole value of @p key with the friends' definitions merged (the module's own wins);
  /// empty when no definition has the key. A present key with an empty value gives "".
  std::optional<std::string> value(std::string_view key) const;
  /// Part of the value of @p key, friends merged; empty when the key or the addressed field is
  /// absent or empty (the library does not tell those apart).
  std::optional<std::string> value(std::string_view key, const Field& field) const;
  /// The keys of the module's own definition file, in the reader's order, with their values;
  /// never the friends' keys, even after a listing has read the module with its friends.
  std::vector<std::pair<std::string, std::string>> ownKeys() const;

  /// The device names a part of this module may have, as the part lists them.
  std::vector<std::string> deviceNames() const;
  /// One device, given by any of its names. @throws Error NoSuchDevice when none has it.
  Device device(std::string_view name) const;
  /// Every device of deviceNames().
  std::vector<Device> devices() const;
  ///@{
  /// What the data files of @p device list, as the library's shared lists hold them, read
  /// without setting up a part: a device that part levels refuse (an unsupported module's, a
  /// declared one without data) is answered too. The packages of its package files; every
  /// speed grade of its speed files, DISALLOW_SPEEDS included. Empty when there is none.
  std::vector<std::string> listedPackages(std::string_view device) const;
  std::vector<std::string> listedSpeedGrades(std::string_view device) const;
  ///@}
  /// The speed grades DISALLOW_SPEEDS names (friends merged), which the part levels leave out.
  std::vector<std::string> disallowedSpeeds() const;

  ///@{
  /// Where the module's files are: a data file (a leading "." is appended to the module's
  /// name: ".acd"), a help file (help/<platform>/<language>/), a program (bin/<platform>/) and
  /// a plug-in library (lib/<platform>/lib<name>.so); each the first existing copy, the module's
  /// own first, then its friends', then the installation's common folder. Empty when none exists.
  std::optional<std::string> dataFile(std::string_view name) const;
  std::optional<std::string> helpFile(std::string_view name) const;
  std::optional<std::string> programFile(std::string_view name) const;
  std::optional<std::string> libraryFile(std::string_view name) const;
  ///@}
  /// Every existing copy of a data file: the module's, each friend's, the common one.
  std::vector<std::string> dataFiles(std::string_view name) const;

  /// The virtual entries of the definitions (friends merged), one per function, sorted by
  /// function, each resolved (its library loaded) as PM_DLM resolves it.
  std::vector<VirtualEntry> virtualEntries() const;
  /// The virtual entry of @p function, resolved; form() Absent when the module has none.
  VirtualEntry virtualEntry(std::string_view function) const;
  /// The virtual entry of @p function read from the definition-format file @p file of the
  /// module and its friends (the module's own values winning), resolved through that file;
  /// empty when no copy of the file exists.
  std::optional<VirtualEntry> virtualEntry(std::string_view function, std::string_view file) const;
  /// The plug-in library @p name as the installation holds it (nothing is loaded).
  Library library(std::string_view name) const;

  /// The handle underneath, for calls the modern API does not cover. Owned by the module.
  PM_PIC& handle() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pmlib

#endif  // PMLIB_MODULE_H
