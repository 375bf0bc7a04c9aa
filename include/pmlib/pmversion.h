// The library's version.
#ifndef PMLIB_PMVERSION_H
#define PMLIB_PMVERSION_H

// "MAJOR.MINOR.PATCH" of the loaded library.
const char* PMLibVersion();

#endif  // PMLIB_PMVERSION_H
