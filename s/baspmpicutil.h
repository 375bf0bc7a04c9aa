// Part utilities: the ordering of device names under which two spellings of a device name denote
// the same device.
//
// These are free functions so that the part code (and its lookups of internal names) can share
// them without a part object.
#ifndef PMLIB_S_BASPMPICUTIL_H
#define PMLIB_S_BASPMPICUTIL_H

#include <cstddef>

namespace PersonalityModule {

// The number that identifies a device within its name, and where it starts.
struct DeviceMainNumber {
  unsigned long long value = 0;  // saturates instead of overflowing on absurdly long runs
  std::size_t start = 0;         // offset of its first digit; 0 for a name without digits
};

// The main number of `name`: of the first two runs of decimal digits, the first when it is
// strictly longer than the second, otherwise the second; a single run is taken as it is; a name
// without digits (or a null name) has the number 0 at its start.
DeviceMainNumber GetDeviceMainNumber(const char* name);

// Orders two device names like strcmp: negative, zero or positive. Zero means both name the same
// device, e.g. "xcab12e", "cab12e" and "ab12e". Null is taken as the empty name.
int CompareDeviceNames(const char* a, const char* b);

}  // namespace PersonalityModule

#endif  // PMLIB_S_BASPMPICUTIL_H
