/// @file pmlib/datafile.h
/// @brief A module's speed and package files (segmented files) read as the library reads them.
#ifndef PMLIB_DATAFILE_H
#define PMLIB_DATAFILE_H

#include <string>
#include <utility>
#include <vector>

#include <pmlib/export.h>

namespace pmlib {

/// @brief What a speed file (.spd) lists.
struct SpeedFile {
  bool loaded = false;              ///< whether the file read as a segmented file
  std::vector<std::string> speeds;  ///< its speed grades in file order ("-4", "-5")
  bool minimumSpeed = false;        ///< it lists a "-0" grade
  bool speed411 = false;            ///< it lists a "-411" grade
};

/// @brief What a package file (.pkg) lists.
struct PackageFile {
  bool loaded = false;                ///< whether the file read as a segmented file
  std::vector<std::string> packages;  ///< its packages in file order (hidden ones as the
                                      ///< library lists them: under PM_HIDDEN_PACKAGES only)
};

/// @brief A definition file (.acd) on its own: its keys, no friend merged, no module opened.
struct DefinitionFile {
  bool loaded = false;                                    ///< whether the file read and holds a key
  std::vector<std::pair<std::string, std::string>> keys;  ///< in the reader's order
};

/// Reads the definition file at @p path as the library's reader does, without setting up the
/// module (so a bad ARCH_TYPE or friend does not stop it).
/// Thread safety: any thread.
PMLIB_API DefinitionFile readDefinitionFile(const std::string& path);

/// Reads the speed file at @p path; the library's messages say why one does not load.
/// Thread safety: any thread.
PMLIB_API SpeedFile readSpeedFile(const std::string& path);

/// Reads the package file at @p path; the library's messages say why one does not load.
/// Thread safety: any thread.
PMLIB_API PackageFile readPackageFile(const std::string& path);

}  // namespace pmlib

#endif  // PMLIB_DATAFILE_H
