// Opening an architecture's part handle for pmlib::Module and pmlib::Part.
#ifndef PMLIB_S_API_MODULE_HANDLE_H
#define PMLIB_S_API_MODULE_HANDLE_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <pmlib/module.h>
#include <pmlib/pmpic.h>

namespace pmlib::detail {

// A part bound to the module `name` (a name or an alias). Throws pmlib::Error NoInstallation,
// NoSuchModule (the library's code 33) or UnreadableDefinition.
std::unique_ptr<PM_PIC> OpenArchitecture(std::string_view name, Unsupported unsupported);

// What a part of `architecture` set to `levels` (device, then package) lists next, through a
// scratch part as the library's own list walks do; empty when a level is refused.
std::vector<std::string> NextLevelNames(const char* architecture,
                                        const std::vector<std::string>& levels);

}  // namespace pmlib::detail

#endif  // PMLIB_S_API_MODULE_HANDLE_H
