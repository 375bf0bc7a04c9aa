// The speed file reader: the speed grades a device's ".spd" file names.
#ifndef PMLIB_S_SPDRDER_H
#define PMLIB_S_SPDRDER_H

#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>

namespace PersonalityModule {

// What one speed file holds. Shared and never changed once filled.
struct SpdInfo {
  bool loaded = false;  // the file was there, not empty, and its directory was read
  bool minspd = false;  // it has a segment "-0"
  bool spd411 = false;  // it has a segment "-411"
  // Every other segment name but "-0P", in file order, repeats kept: the speed grades.
  std::vector<Port::StringBase<char>> speeds;
};

// A handle on the speed record of one file. The record is read once per process and file name:
// a missing or empty file is remembered as empty too, so a file created later is not seen. A file
// that is there but cannot be read is reported (fatal 30) and tried again next time.
class SpdRder {
 public:
  using const_iterator = std::vector<Port::StringBase<char>>::const_iterator;

  // `filename` is the complete path, e.g. "<dir>/<pm>/data/<device>.spd".
  explicit SpdRder(Port::StringBase<char> filename);

  bool loaded() const { return info_->loaded; }
  bool minspd() const { return info_->minspd; }
  bool spd411() const { return info_->spd411; }
  const_iterator begin() const { return info_->speeds.begin(); }
  const_iterator end() const { return info_->speeds.end(); }

 private:
  boost::shared_ptr<const SpdInfo> info_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_SPDRDER_H
