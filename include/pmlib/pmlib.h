/// @file pmlib/pmlib.h
/// @brief pmlib: every exported class and function of the library, and the platform layer's
/// host API (messages, the installation path list, files, strings, threads).
///
/// Thread safety in one paragraph: operations run on the caller's thread; one object per
/// thread; set up specifications and parts (and parse part names, list modules) on one thread at
/// a time; the process-wide caches beneath them are locked. docs/architecture.md has the details.
#ifndef PMLIB_PMLIB_H
#define PMLIB_PMLIB_H

#include "pmport/citp.h"
#include "pmport/port_dynlib.h"
#include "pmport/port_env.h"
#include "pmport/port_file.h"
#include "pmport/port_msg.h"
#include "pmport/port_path.h"
#include "pmport/port_regexp.h"
#include "pmport/port_string.h"
#include "pmport/port_thread.h"
#include "pmport/sfp_acd.h"
#include "pmport/ut_cmdargs.h"
#include "pmport/ut_darray.h"
#include "pmport/ut_ifile.h"
#include "pmport/ut_statobj.h"

#include "pmlib/picconfig.h"
#include "pmlib/pmcmdargs.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmdlm.h"
#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"
#include "pmlib/pmversion.h"

// The modern C++17 API over the handles above (namespace pmlib; docs/api.md).
#include "pmlib/datafile.h"
#include "pmlib/error.h"
#include "pmlib/export.h"
#include "pmlib/installation.h"
#include "pmlib/module.h"
#include "pmlib/part.h"
#include "pmlib/plugin.h"

#endif  // PMLIB_PMLIB_H
