/// @file pmlib/part.h
/// @brief pmlib::Part: a part name read into architecture, device, package and speed, with the
/// level that fails and what it could have been.
#ifndef PMLIB_PART_H
#define PMLIB_PART_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pmlib/export.h>
#include <pmlib/module.h>

namespace pmlib {

/// @brief The levels of a part, outermost first.
enum class Level {
  Architecture,  ///< the module
  Device,        ///< e.g. "xcab40e"
  Package,       ///< e.g. "pq208"
  Speed,         ///< e.g. "-4"
};

/// The level's name in lower case: "architecture", "device", "package" or "speed".
PMLIB_API std::string_view levelName(Level level);

/// @brief The first level of a part that fails.
struct Failure {
  Level level = Level::Architecture;  ///< where it fails
  /// The text that level rejected; empty when the level was not given at all.
  std::optional<std::string> rejected;
};

/// @brief The flags of a device's speed file.
struct SpeedFlags {
  bool minimumSpeed = false;  ///< it lists a "-0" grade
  bool speed411 = false;      ///< it lists a "-411" grade
};

/// @brief How Part::parse reads a name.
struct PartOptions {
  /// The architecture ("VENDOR:ARCH" or "ARCH") the name belongs to; empty: the library finds
  /// the architecture whose formats match (pattern files first).
  std::optional<std::string> architecture;
  /// With an architecture given: the speed the name is expected to have; the library warns
  /// when the name's own speed differs.
  std::optional<std::string> speed;
  /// Whether unsupported architectures may be found (ignored with an architecture given).
  Unsupported unsupported = Unsupported::FromEnvironment;
  /// Follow the configuration rules (an FPGA device of the device table needs only its package
  /// file); ignored with an architecture given.
  bool configuration = false;
};

/// @brief A part: an architecture narrowed down to device, package and speed.
///
/// A name that fails is a part that says where (failure()), never an exception. Wraps a PM_PIC
/// (PersonalityModule::PicConfig for configuration parts); the lists behind choices() are the
/// library's shared, process-wide cached lists.
///
/// Thread safety: one object per thread. Parsing, building from levels, copying and completed()
/// set architectures, which fill unlocked process-wide tables: do them on one thread at a time.
/// The queries of parts set up beforehand may run on several threads, each on its own part.
class PMLIB_API Part {
 public:
  /// Reads @p name ("xcab12etq144-3", "xcab12e-3-tq144", or an architecture name) as a design
  /// tool does. @throws Error NoInstallation when no installation is set.
  static Part parse(std::string_view name, const PartOptions& options = {});
  /// A part of @p architecture set level by level: each level given is set (a level after a
  /// missing one is not). @throws Error NoInstallation, NoSuchModule or UnreadableDefinition.
  static Part fromLevels(std::string_view architecture, std::optional<std::string_view> device,
                         std::optional<std::string_view> package = std::nullopt,
                         std::optional<std::string_view> speed = std::nullopt,
                         Unsupported unsupported = Unsupported::Allowed);

  /// Rebuilds the copy level by level.
  Part(const Part& other);
  /// Rebuilds @p other's levels.
  Part& operator=(const Part& other);
  /// Takes @p other's handle; @p other must not be queried afterwards.
  Part(Part&& other) noexcept;
  /// Takes @p other's handle.
  Part& operator=(Part&& other) noexcept;
  /// Releases the handle.
  ~Part();

  ///@{
  /// The levels; empty when not set.
  std::optional<std::string> architecture() const;
  std::optional<std::string> device() const;
  std::optional<std::string> package() const;
  std::optional<std::string> speed() const;
  ///@}
  /// The device's internal names; empty without a device.
  std::vector<std::string> internalNames() const;

  /// Whether every level down to the package (to the speed with @p toSpeed) is set and valid.
  bool valid(bool toSpeed = true) const;
  /// The first level that fails down to the speed: the one that rejected some text, else the
  /// first one not given, else the first one the architecture does not accept; empty when
  /// none fails.
  std::optional<Failure> failure() const;
  /// What the failing level could be (the architectures as "VENDOR:FAMILY", the devices, the
  /// packages of the device, the speeds of the package); what may come next when none fails.
  std::vector<std::string> choices() const;
  /// The part completed with the first device, package and speed of each list; empty when
  /// some level has none (the library reports it as fatal 19) or there is no architecture.
  std::optional<Part> completed() const;

  /// Device, package and speed run together without the device's "xc" ("ab12etq144-3"); empty
  /// without a device.
  std::optional<std::string> composedName() const;
  /// Device, speed (unless "-0P") and package run together; empty without a device.
  std::optional<std::string> databookName() const;
  /// The device's subfamily; empty when none.
  std::optional<std::string> subfamily() const;
  /// The range the speed names, else the architecture's first; empty when it lists none.
  std::optional<std::string> range() const;

  /// The speed-file flags of the part's device and package; empty without a package.
  std::optional<SpeedFlags> speedFlags() const;

  /// The part's architecture as a module. @throws Error when there is no architecture.
  Module module() const;
  /// The handle underneath, for calls the modern API does not cover. Owned by the part.
  PM_PIC& handle() const;

 private:
  struct Impl;
  explicit Part(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace pmlib

#endif  // PMLIB_PART_H
