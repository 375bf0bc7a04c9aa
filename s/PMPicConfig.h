// Configuration part internals: the implementation behind PersonalityModule::PicConfig. Not
// installed.
#ifndef PMLIB_S_PMPICCONFIG_H
#define PMLIB_S_PMPICCONFIG_H

#include <memory>

#include <boost/shared_ptr.hpp>

#include "baspmpic.h"

namespace PersonalityModule {

// A part implementation whose validator and lists follow the configuration rules. Every
// temporary part it makes (for lists, for the architecture search) is of this kind too.
class PMPicConfigImp : public PMPicImp {
 public:
  PMPicConfigImp(PM_SPEC* owner, PM_PARTNAME_BINDING binding);
  ~PMPicConfigImp() override;

  boost::shared_ptr<BaseList> CreateDeviceList() const override;
  boost::shared_ptr<BaseList> CreateNSDeviceList() const override;
  boost::shared_ptr<BaseList> CreatePkgList(const Port::StringBase<char>& name) const override;
  boost::shared_ptr<BaseList> CreateSpdList(const Port::StringBase<char>& name) const override;
  // "FPGA" (also for an empty type) takes the configuration FPGA validator, "CPLD" and "CONFIG"
  // their own; any other type is fatal 101 and keeps the validator in place.
  void SetArchType(Port::StringBase<char> type) const override;
  std::unique_ptr<PMPicImp> CreateEmptyImp(PM_PARTNAME_BINDING binding) const override;
  std::unique_ptr<PMPicImp> CreateCopy() const override;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_PMPICCONFIG_H
