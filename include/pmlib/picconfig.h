// Parts for configuration work: a PM_PIC that follows the configuration rules.
#ifndef PMLIB_PICCONFIG_H
#define PMLIB_PICCONFIG_H

#include <pmlib/pmpic.h>

namespace PersonalityModule {

// A part whose checks and lists follow the configuration rules: an FPGA device declared in the
// definition's device table counts with its package file alone (no device file needed), and the
// devices listed are the declared ones. Parsing, defaults, messages and the dump are a PM_PIC's.
class PicConfig : public PM_PIC {
 public:
  PicConfig(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding);
  PicConfig(const PicConfig&) = delete;
  PicConfig& operator=(const PicConfig&) = delete;
  ~PicConfig() override;
};

}  // namespace PersonalityModule

#endif  // PMLIB_PICCONFIG_H
