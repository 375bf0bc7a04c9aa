// Speed and package files through the library's own readers.
#include <pmlib/datafile.h>

#include "PkgRder.h"
#include "SpdRder.h"
#include "pmport/sfp_acd.h"

namespace pmlib {

namespace {

template <typename Reader>
std::vector<std::string> ListedNames(const Reader& reader) {
  std::vector<std::string> names;
  for (const Port::String& name : reader) names.push_back(name.str());
  return names;
}

}  // namespace

DefinitionFile readDefinitionFile(const std::string& path) {
  const StaticAcdRead reader(path.c_str(), "", nullptr, 1, 0, 0);
  DefinitionFile file;
  file.loaded = reader.IsValid();
  for (const auto& keyValue : reader)
    file.keys.emplace_back(keyValue.first.get(), keyValue.second.get());
  return file;
}

SpeedFile readSpeedFile(const std::string& path) {
  const PersonalityModule::SpdRder reader(path.c_str());
  return SpeedFile{reader.loaded(), ListedNames(reader), reader.minspd(), reader.spd411()};
}

PackageFile readPackageFile(const std::string& path) {
  const PersonalityModule::PkgRder reader(path.c_str());
  return PackageFile{reader.loaded(), ListedNames(reader)};
}

}  // namespace pmlib
