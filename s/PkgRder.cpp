// The package file reader.
#include "PkgRder.h"

#include <boost/make_shared.hpp>

#include <pmport/port_env.h>

#include "DataFileRder.h"
#include "pmunit.h"

namespace PersonalityModule {
namespace {

const char kUnit[] = "PkgRder";

using PackageRecordPtr = boost::shared_ptr<const PkgInfo>;

// Segment type of a package that is listed only on request.
constexpr int kHiddenPackageType = 1;

detail::FileRecordCache<PkgInfo>& PackageFileCache() {
  static detail::FileRecordCache<PkgInfo> cache;
  return cache;
}

// The switch's name is kept enciphered so that it cannot be found by looking through the binary.
bool HiddenPackagesListed() {
  char variable[] = "!|0wxsst}0!przpvt$";
  return Port_Env::GetEnv(UT_STR::Decode(variable)) != nullptr;
}

void AddPackageSegment(PkgInfo& info, const char* name, int type) {
  if (type == kHiddenPackageType && !HiddenPackagesListed()) return;
  info.packages.emplace_back(name);
}

PackageRecordPtr ReadPackageFile(const Port::String& filename) {
  const boost::shared_ptr<PkgInfo> info = boost::make_shared<PkgInfo>();
  // A missing package file is not remembered: it may still be installed while the process runs.
  if (!detail::HasDataToRead(filename)) return info;

  const bool read = detail::ReadSegmentDirectory(
      filename, [&info](const char* name, int type) { AddPackageSegment(*info, name, type); });
  if (!read) {
    PM_ISSUE(CannotReadPackageFile, filename.c_str());
    return info;
  }
  info->loaded = true;
  PackageFileCache().insert(filename, info);
  return info;
}

}  // namespace

PkgRder::PkgRder(Port::StringBase<char> filename)
    : info_(PackageFileCache().find(filename).value_or(nullptr)) {
  if (!info_) info_ = ReadPackageFile(filename);
}

}  // namespace PersonalityModule
