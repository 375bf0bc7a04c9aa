// Every valid full part below a part's given levels, composed one by one, so that a caller can
// stream them (pmtool parts --all) or parse each back (pmtool check --roundtrip).
#ifndef PMTOOL_PARTWALK_H
#define PMTOOL_PARTWALK_H

#include <functional>
#include <string>

class PM_PIC;

namespace pmtool {

// Called with a full part (device, package and speed set) and its composed part name.
using PartNameVisitor = std::function<void(const PM_PIC& part, const std::string& name)>;

// Calls `visit` for every valid part at the speed level below the levels of `part`, in list
// order, as soon as its name is composed; a part whose name cannot be composed is skipped.
void ForEachPartName(PM_PIC& part, const PartNameVisitor& visit);

}  // namespace pmtool

#endif  // PMTOOL_PARTWALK_H
