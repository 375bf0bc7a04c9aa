// The package file reader: the packages a device's ".pkg" file names.
#ifndef PMLIB_S_PKGRDER_H
#define PMLIB_S_PKGRDER_H

#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>

namespace PersonalityModule {

// What one package file holds. Shared and never changed once filled.
struct PkgInfo {
  bool loaded = false;  // the file was there, not empty, and its directory was read
  // The segment names in file order, repeats kept: the packages. Hidden packages (segment type
  // 1) are among them only while the hidden-package switch is set.
  std::vector<Port::StringBase<char>> packages;
};

// A handle on the package record of one file. A file read successfully is read once per process
// and file name; a missing or empty file is looked for again next time, and a file that is there
// but cannot be read is reported (fatal 30) and tried again next time.
class PkgRder {
 public:
  using const_iterator = std::vector<Port::StringBase<char>>::const_iterator;

  // `filename` is the complete path, e.g. "<dir>/<pm>/data/<device>.pkg".
  explicit PkgRder(Port::StringBase<char> filename);

  bool loaded() const { return info_->loaded; }
  const_iterator begin() const { return info_->packages.begin(); }
  const_iterator end() const { return info_->packages.end(); }

 private:
  boost::shared_ptr<const PkgInfo> info_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_PKGRDER_H
