// What the speed and package file readers share.
#include "DataFileRder.h"

#include <pmport/port_file.h>
#include <pmport/port_msg.h>
#include <pmport/ut_ifile.h>

#include "pmunit.h"

namespace PersonalityModule {
namespace detail {

bool HasDataToRead(const Port::String& filename) {
  return Port::File::canread(filename) && Port::File::getsize_noopen(filename) != 0;
}

bool ReadSegmentDirectory(const Port::String& filename,
                          const std::function<void(const char* name, int type)>& visit) {
  UT_IFILE file;
  if (!file.load(filename.c_str())) {
    // The callers' messages name only the file; the trace keeps the reason for whoever debugs it.
    Port_MsgManData::debugStub("%s: %s\n", filename.c_str(), file.geterror());
    return false;
  }
  UT_IFILESEGINFO segment;
  while (file.getnextseginfo(segment)) visit(segment.getname(), segment.gettype());
  file.unload();
  return true;
}

}  // namespace detail
}  // namespace PersonalityModule
