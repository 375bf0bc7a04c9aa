// What the speed and package file readers share: the process-wide record cache and the walk over
// a segmented data file's directory.
#ifndef PMLIB_S_DATAFILERDER_H
#define PMLIB_S_DATAFILERDER_H

#include <functional>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>
#include <pmport/port_thread.h>

#include "pmlockedmap.h"

namespace PersonalityModule {
namespace detail {

// Records read from data files, keyed by the file name exactly as given (byte by byte, so one
// file reached by two spellings of its path is cached twice); files are read outside the lock.
template <class Record>
using FileRecordCache = LockedMap<Port::String, boost::shared_ptr<const Record>>;

// True when `filename` is a readable file with something in it; anything else has no directory
// to read and is not an error.
bool HasDataToRead(const Port::String& filename);

// Loads the segment directory of `filename` and hands each segment's name and type to `visit`,
// in file order; the segments' contents are never read. False, with nothing visited, when the
// file is not a readable segmented file.
bool ReadSegmentDirectory(const Port::String& filename,
                          const std::function<void(const char* name, int type)>& visit);

}  // namespace detail
}  // namespace PersonalityModule

#endif  // PMLIB_S_DATAFILERDER_H
