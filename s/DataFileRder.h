// What the speed and package file readers share: the process-wide record cache and the walk over
// a segmented data file's directory.
#ifndef PMLIB_S_DATAFILERDER_H
#define PMLIB_S_DATAFILERDER_H

#include <functional>
#include <map>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>
#include <pmport/port_thread.h>

namespace PersonalityModule {
namespace detail {

// Records read from data files, keyed by the file name exactly as given (byte by byte, so one
// file reached by two spellings of its path is cached twice). The lock covers only the lookup or
// the insertion: files are read outside it.
template <class Record>
class FileRecordCache {
 public:
  using RecordPtr = boost::shared_ptr<const Record>;

  // The record cached under `filename`, or an empty pointer.
  RecordPtr find(const Port::String& filename) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    const auto found = records_.find(filename);
    return found == records_.end() ? RecordPtr() : found->second;
  }

  // Caches `record` under `filename` unless a record is there already. Two threads that missed
  // on the same name read the same file, so whichever record came first serves everyone.
  void insert(const Port::String& filename, const RecordPtr& record) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    records_.emplace(filename, record);
  }

 private:
  Port_ThrMutex mutex_;
  std::map<Port::String, RecordPtr> records_;
};

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
