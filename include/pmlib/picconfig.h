/// @file pmlib/picconfig.h
/// @brief Parts for configuration work: a PM_PIC that follows the configuration rules.
#ifndef PMLIB_PICCONFIG_H
#define PMLIB_PICCONFIG_H

#include <pmlib/export.h>

#include <pmlib/pmpic.h>

namespace PersonalityModule {

/// @brief A part whose checks and lists follow the configuration rules.
///
/// An FPGA device declared in the definition's device table counts with its package file alone
/// (no device file needed), and the devices listed are the declared ones. Parsing, defaults,
/// messages and the dump are a PM_PIC's. Every scratch part the library makes for it (list
/// builds, the search for a part name's architecture) follows the same rules.
///
/// Thread safety: as PM_PIC: one object per thread; construct it on one thread at a time.
class PMLIB_API PicConfig : public PM_PIC {
 public:
  /// Parses @p partname as PM_PIC(partname, record, binding) does, with the configuration rules.
  PicConfig(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding);
  PicConfig(const PicConfig&) = delete;
  PicConfig& operator=(const PicConfig&) = delete;
  ~PicConfig() override;
};

}  // namespace PersonalityModule

#endif  // PMLIB_PICCONFIG_H
