/// @file pmlib/pmversion.h
/// @brief The library's version.
#ifndef PMLIB_PMVERSION_H
#define PMLIB_PMVERSION_H

#include <pmlib/export.h>

/// @return "MAJOR.MINOR.PATCH" of the loaded library (not of the headers compiled against).
/// Thread safety: may be called on any thread.
PMLIB_API const char* PMLibVersion();

#endif  // PMLIB_PMVERSION_H
