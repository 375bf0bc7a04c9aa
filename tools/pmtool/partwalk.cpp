#include "partwalk.h"

#include <memory>

#include "choices.h"
#include "pmlib/pmpic.h"

namespace pmtool {

void ForEachPartName(PM_PIC& part, const PartNameVisitor& visit) {
  const char depth = part.get_depth();
  if (depth >= 4) {
    if (!part.isvalid(1, 1)) return;
    const std::unique_ptr<char[]> name(part.get_partname());
    if (name) visit(part, name.get());
    return;
  }
  for (const std::string& next : CurrentList(part)) {
    PM_PIC copy(part);
    const bool set = depth == 1   ? copy.set_device(next.c_str())
                     : depth == 2 ? copy.set_package(next.c_str())
                                  : copy.set_speed(next.c_str());
    if (set) ForEachPartName(copy, visit);
  }
}

}  // namespace pmtool
