// Loading the personality module that a command works on.
#ifndef PMTOOL_MODULE_H
#define PMTOOL_MODULE_H

#include <memory>
#include <optional>
#include <string>

#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"

namespace pmtool {

// The personality module that `arch` names: `arch` itself when it is an installed module (an
// unsupported one too), else the module whose alias it is (scanning the installed modules), else
// none. Asking says nothing.
std::optional<std::string> InstalledModuleName(const std::string& arch);

// The installed module that `arch` names, else `arch` unchanged.
std::string ResolveModuleName(const std::string& arch);

// The PM_SPEC of `arch` (a name or an alias) with its definition loaded, or null after saying
// why not: a name that is no module gets pmtool's message and the choices, not the library's
// complaint. Unsupported modules are allowed, so that every installed module can be shown.
std::unique_ptr<PM_SPEC> LoadModule(const std::string& arch);

// The same as a part of depth 1, for the commands that go down to devices and below.
std::unique_ptr<PM_PIC> LoadPart(const std::string& arch);

}  // namespace pmtool

#endif  // PMTOOL_MODULE_H
