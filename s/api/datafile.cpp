// Speed and package files through the library's own readers.
#include <pmlib/datafile.h>

#include "PkgRder.h"
#include "SpdRder.h"

namespace pmlib {

namespace {

template <typename Reader>
std::vector<std::string> ListedNames(const Reader& reader) {
  std::vector<std::string> names;
  for (const Port::String& name : reader) names.push_back(name.str());
  return names;
}

}  // namespace

SpeedFile readSpeedFile(const std::string& path) {
  const PersonalityModule::SpdRder reader(path.c_str());
  return SpeedFile{reader.loaded(), ListedNames(reader), reader.minspd(), reader.spd411()};
}

PackageFile readPackageFile(const std::string& path) {
  const PersonalityModule::PkgRder reader(path.c_str());
  return PackageFile{reader.loaded(), ListedNames(reader)};
}

}  // namespace pmlib
