// The library's version, as the build configured it.
#include "pmlib/pmversion.h"

#include "pmversion_config.h"

const char* PMLibVersion() { return PMLIB_VERSION_STRING; }
