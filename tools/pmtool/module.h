// Loading the personality module that a command works on.
#ifndef PMTOOL_MODULE_H
#define PMTOOL_MODULE_H

#include <memory>
#include <string>

#include "pmlib/pmspec.h"

namespace pmtool {

// The personality module that `arch` names: `arch` itself when it is an installed module (an
// unsupported one too), else the module whose alias it is (scanning the installed modules), else
// `arch` unchanged.
std::string ResolveModuleName(const std::string& arch);

// The PM_SPEC of `arch` (a name or an alias) with its definition loaded, or null after
// saying why not. Unsupported modules are allowed, so that every installed module can be shown.
std::unique_ptr<PM_SPEC> LoadModule(const std::string& arch);

}  // namespace pmtool

#endif  // PMTOOL_MODULE_H
