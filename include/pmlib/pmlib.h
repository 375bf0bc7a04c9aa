// pmlib: every exported class and function of the library, and the platform layer's host API.
#ifndef PMLIB_PMLIB_H
#define PMLIB_PMLIB_H

#include "pmport/citp.h"
#include "pmport/port_msg.h"
#include "pmport/port_string.h"
#include "pmport/port_thread.h"
#include "pmport/ut_statobj.h"

#include "pmlib/pmversion.h"

#endif  // PMLIB_PMLIB_H
