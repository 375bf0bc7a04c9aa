// pmlib::Part over a PM_PIC (or a PersonalityModule::PicConfig): parsing, levels, the failing
// level and its choices, completion and names are calls on that handle.
#include <pmlib/part.h>

#include <pmlib/installation.h>

#include "api_support.h"
#include "baspmpic.h"
#include "module_handle.h"
#include "pmlib/picconfig.h"
#include "pmlib/pmpic.h"

namespace pmlib {

namespace {

const Level kLevels[] = {Level::Architecture, Level::Device, Level::Package, Level::Speed};

// The level of a recorded error status (1 architecture ... 4 speed); empty for 0.
std::optional<Level> LevelOfStatus(int status) {
  if (status < 1 || status > 4) return std::nullopt;
  return kLevels[status - 1];
}

std::unique_ptr<PM_PIC> ParseName(const std::string& name, const PartOptions& options) {
  if (options.architecture) {
    return std::make_unique<PM_PIC>(options.architecture->c_str(), name.c_str(),
                                    options.speed ? options.speed->c_str() : nullptr);
  }
  const PM_PARTNAME_BINDING binding = detail::ToBinding(options.unsupported);
  if (options.configuration) {
    return std::make_unique<PersonalityModule::PicConfig>(name.c_str(), 1, binding);
  }
  return std::make_unique<PM_PIC>(name.c_str(), 1, binding);
}

// Sets `level` unless it is absent; false when it is absent or refused.
bool SetLevel(PM_PIC& part, bool (PM_PIC::*set)(const char*),
              const std::optional<std::string_view>& level) {
  return level && (part.*set)(detail::Terminated(*level).c_str());
}

}  // namespace

std::string_view levelName(Level level) {
  static constexpr std::string_view kNames[] = {"architecture", "device", "package", "speed"};
  return kNames[static_cast<int>(level)];
}

struct Part::Impl {
  std::unique_ptr<PM_PIC> part;
};

Part::Part(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Part Part::parse(std::string_view name, const PartOptions& options) {
  detail::RequireInstallation();
  return Part(std::make_unique<Impl>(Impl{ParseName(detail::Terminated(name), options)}));
}

Part Part::fromLevels(std::string_view architecture, std::optional<std::string_view> device,
                      std::optional<std::string_view> package,
                      std::optional<std::string_view> speed, Unsupported unsupported) {
  std::unique_ptr<PM_PIC> part = detail::OpenArchitecture(architecture, unsupported);
  if (SetLevel(*part, &PM_PIC::set_device, device) &&
      SetLevel(*part, &PM_PIC::set_package, package)) {
    SetLevel(*part, &PM_PIC::set_speed, speed);
  }
  return Part(std::make_unique<Impl>(Impl{std::move(part)}));
}

// A configuration part's copy is a configuration part.
Part::Part(const Part& other)
    : impl_(std::make_unique<Impl>(Impl{PMPicImp::CopyPart(other.handle())})) {}

Part& Part::operator=(const Part& other) {
  if (this != &other) *this = Part(other);
  return *this;
}

Part::Part(Part&& other) noexcept = default;
Part& Part::operator=(Part&& other) noexcept = default;
Part::~Part() = default;

PM_PIC& Part::handle() const { return *impl_->part; }

std::optional<std::string> Part::architecture() const {
  return handle().get_depth() >= 1 ? detail::Text(handle().get_arch()) : std::nullopt;
}

std::optional<std::string> Part::device() const { return detail::Text(handle().get_device()); }

std::optional<std::string> Part::package() const { return detail::Text(handle().get_package()); }

std::optional<std::string> Part::speed() const { return detail::Text(handle().get_speed()); }

std::vector<std::string> Part::internalNames() const {
  std::vector<std::string> names;
  if (!handle().get_device()) return names;
  for (int i = 0; i < handle().get_num_idnames(); ++i) {
    names.emplace_back(handle().get_internal_device(i));
  }
  return names;
}

bool Part::valid(bool toSpeed) const { return handle().isvalid(toSpeed ? 1 : 0, 1) != 0; }

std::optional<Failure> Part::failure() const {
  const PM_PIC& part = handle();
  const char* rejected = nullptr;
  const std::optional<Level> recorded = LevelOfStatus(part.getpicstatus(rejected));
  if (recorded && rejected && *rejected) return Failure{*recorded, std::string(rejected)};
  const std::optional<std::string> levels[] = {architecture(), device(), package(), speed()};
  for (int level = 0; level < 4; ++level) {
    if (!levels[level]) return Failure{kLevels[level], std::nullopt};
  }
  if (recorded) return Failure{*recorded, std::nullopt};
  if (!part.isvaliddevicename(levels[1]->c_str(), 1)) return Failure{Level::Device, levels[1]};
  if (!part.isvalidpackagename(levels[2]->c_str(), 1)) return Failure{Level::Package, levels[2]};
  if (!part.isvalidspeedname(levels[3]->c_str(), 1)) return Failure{Level::Speed, levels[3]};
  return std::nullopt;
}

std::vector<std::string> Part::choices() const {
  const std::optional<Failure> failing = failure();
  const int depth = failing ? static_cast<int>(failing->level) : 4;
  if (depth == 0 || !architecture()) return pmlib::architectures();
  if (depth >= 4) return {};
  const std::vector<std::string> above = {device().value_or(""), package().value_or("")};
  return detail::NextLevelNames(handle().get_arch(),
                                std::vector<std::string>(above.begin(), above.begin() + depth - 1));
}

std::optional<Part> Part::completed() const {
  if (!architecture()) return std::nullopt;
  Part copy(*this);
  if (!copy.handle().fill_defaults()) return std::nullopt;
  return copy;
}

std::optional<std::string> Part::composedName() const {
  const auto_array<char> composed(handle().get_partname());
  return detail::Text(composed.get());
}

std::optional<std::string> Part::databookName() const {
  return detail::Text(handle().getDatabookName());
}

std::optional<std::string> Part::subfamily() const { return detail::Text(handle().GetSubFamily()); }

std::optional<std::string> Part::range() const { return detail::Text(handle().get_range()); }

std::optional<SpeedFlags> Part::speedFlags() const {
  if (!package()) return std::nullopt;
  // The flags are set when the speeds are listed, so a scratch part lists them.
  const std::unique_ptr<PM_PIC> lister =
      PMPicImp::NewPart(handle().get_arch(), PM_BINDING_ALLOW_UNSUPPORTED);
  lister->set_device(handle().get_device());
  lister->set_package(handle().get_package());
  lister->make_list(nullptr, nullptr, 0);
  return SpeedFlags{lister->get_minspd() != 0, lister->get_411spd() != 0};
}

Module Part::module() const {
  if (!architecture()) throw Error(ErrorKind::NoSuchModule, 0, "the part has no architecture");
  return Module(*architecture(), Unsupported::Allowed);
}

}  // namespace pmlib
