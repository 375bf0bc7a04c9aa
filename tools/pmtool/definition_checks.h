// pmtool check: what makes a module unusable that its definition file alone shows (a misspelled
// key, a support mode or architecture type the library does not know, subfamily lists that do
// not pair up, an FPGA device without its device file), and the installation-wide faults of
// definitions (a definition not named after its folder, a device name two modules declare).
// Written against the public API only.
#ifndef PMTOOL_DEFINITION_CHECKS_H
#define PMTOOL_DEFINITION_CHECKS_H

#include <functional>
#include <string>
#include <vector>

#include "checker.h"

namespace pmtool {

// Checks the module `module`'s own definition `definition`. Returns false when a fault makes
// the library refuse the module outright (an unknown ARCH_TYPE): whatever else would be found
// only follows from it.
bool CheckOwnDefinition(const std::string& module, const std::string& definition,
                        FindingFilter& findings);

// Checks the devices of `module` against its data files (an FPGA device needs its device file
// besides its package and speed files).
void CheckDeviceFilesOfModule(const std::string& module, FindingFilter& findings);

// Why `typed` is no device of the FPGA module `arch` although its DEVICE_INTERNAL declares it:
// the device file is missing. Empty when that is not the reason.
std::string MissingDeviceFileProblem(const std::string& arch, const std::string& typed);

// Installation-wide: definition files not named after their folder, and device names declared
// by more than one module; `concerns` says which modules' findings count.
void CheckDefinitionNames(const std::function<bool(const std::string&)>& concerns,
                          FindingFilter& findings);

// The supported modules of the installation that declare devices and do not say they are
// logical: part names should bind to each of them.
std::vector<std::string> ModulesWithDevices();

}  // namespace pmtool

#endif  // PMTOOL_DEFINITION_CHECKS_H
