// Configuration parts: the configuration validators and the CF_ lists.
#include "PMPicConfig.h"

#include <new>
#include <string>

#include <boost/make_shared.hpp>

#include <pmlib/picconfig.h>

#include "PMLists.h"
#include "Validator.h"
#include "pmunit.h"

namespace PersonalityModule {
namespace {

constexpr char kUnit[] = "PMPicConfig";

// Makes the configuration part through which a CF_ list is built.
std::unique_ptr<PMPicImp> MakeConfigurationPart(PM_PARTNAME_BINDING binding) {
  return std::make_unique<PMPicConfigImp>(nullptr, binding);
}

boost::shared_ptr<Validator> NewConfigurationValidator(const Port::String& type,
                                                       const PMPicImp* imp) {
  if (type == "FPGA") return boost::make_shared<FPGA_CF_Validator>(imp);
  if (type == "CPLD") return boost::make_shared<CPLD_Validator>(imp);
  if (type == "CONFIG") return boost::make_shared<CONFIG_Validator>(imp);
  return boost::shared_ptr<Validator>();
}

}  // namespace

PMPicConfigImp::PMPicConfigImp(PM_SPEC* ownerSpec, PM_PARTNAME_BINDING binding)
    : PMPicImp(ownerSpec, binding) {}

PMPicConfigImp::~PMPicConfigImp() = default;

boost::shared_ptr<BaseList> PMPicConfigImp::CreateDeviceList() const {
  return boost::make_shared<CF_DeviceList>(pm, MakeConfigurationPart);
}

boost::shared_ptr<BaseList> PMPicConfigImp::CreateNSDeviceList() const {
  return boost::make_shared<CF_NS_DeviceList>(pm, MakeConfigurationPart);
}

boost::shared_ptr<BaseList> PMPicConfigImp::CreatePkgList(const Port::String& name) const {
  return boost::make_shared<CF_PkgList>(pm, name, MakeConfigurationPart);
}

boost::shared_ptr<BaseList> PMPicConfigImp::CreateSpdList(const Port::String& name) const {
  return boost::make_shared<CF_SpdList>(pm, name, MakeConfigurationPart);
}

void PMPicConfigImp::SetArchType(Port::String type) const {
  std::string upper = type.empty() ? std::string("FPGA") : type.str();
  UT_STR::Upper(upper.data());
  if (archType.Compare(upper.c_str(), 1) == 0) return;
  archType = upper;
  try {
    boost::shared_ptr<Validator> chosen = NewConfigurationValidator(archType, this);
    if (!chosen) {
      PM_ISSUE(ValidatorSetupFailed);
      return;
    }
    validator = std::move(chosen);
  } catch (const std::bad_alloc&) {
    validator.reset();
  }
}

std::unique_ptr<PMPicImp> PMPicConfigImp::CreateEmptyImp(PM_PARTNAME_BINDING binding) const {
  return std::make_unique<PMPicConfigImp>(nullptr, binding);
}

std::unique_ptr<PMPicImp> PMPicConfigImp::CreateCopy() const {
  return std::make_unique<PMPicConfigImp>(*this);
}

// ---------------------------------------------------------------------------------------------
// PicConfig

PicConfig::PicConfig(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding)
    : PM_PIC(partname, record, binding, std::make_unique<PMPicConfigImp>(nullptr, binding)) {}

PicConfig::~PicConfig() = default;

}  // namespace PersonalityModule
