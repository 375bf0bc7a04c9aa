// The speed file reader.
#include "SpdRder.h"

#include <boost/make_shared.hpp>

#include "DataFileRder.h"
#include "pmunit.h"

namespace PersonalityModule {
namespace {

const char kUnit[] = "SpdRder";

using SpeedRecordPtr = boost::shared_ptr<const SpdInfo>;

detail::FileRecordCache<SpdInfo>& SpeedFileCache() {
  static detail::FileRecordCache<SpdInfo> cache;
  return cache;
}

// "-0" and "-411" are flags rather than grades; "-0P" is neither.
void AddSpeedSegment(SpdInfo& info, const char* name) {
  if (UT_STR::_Compare(name, "-0") == 0) {
    info.minspd = true;
  } else if (UT_STR::_Compare(name, "-411") == 0) {
    info.spd411 = true;
  } else if (UT_STR::_Compare(name, "-0P") != 0) {
    info.speeds.emplace_back(name);
  }
}

SpeedRecordPtr ReadSpeedFile(const Port::String& filename) {
  const boost::shared_ptr<SpdInfo> info = boost::make_shared<SpdInfo>();
  if (detail::HasDataToRead(filename)) {
    const bool read = detail::ReadSegmentDirectory(
        filename, [&info](const char* name, int) { AddSpeedSegment(*info, name); });
    if (!read) {
      PM_ISSUE(CannotReadSpeedFile, filename.c_str());
      return info;  // not cached: the next reader tries the file again
    }
    info->loaded = true;
  }
  SpeedFileCache().insert(filename, info);
  return info;
}

}  // namespace

SpdRder::SpdRder(Port::StringBase<char> filename)
    : info_(SpeedFileCache().find(filename).value_or(nullptr)) {
  if (!info_) info_ = ReadSpeedFile(filename);
}

}  // namespace PersonalityModule
