// Loading the personality module that a command works on.
#ifndef PMTOOL_MODULE_H
#define PMTOOL_MODULE_H

#include <memory>
#include <string>

#include "pmlib/pmspec.h"

namespace pmtool {

// The specification of `arch` (a name or an alias) with its definition loaded, or null after
// saying why not. Unsupported modules are allowed, so that every installed module can be shown.
std::unique_ptr<PM_SPEC> LoadModule(const std::string& arch);

}  // namespace pmtool

#endif  // PMTOOL_MODULE_H
