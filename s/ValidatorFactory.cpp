// The choice of a part's validator by architecture type.
#include "ValidatorFactory.h"

#include <boost/make_shared.hpp>

#include "Validator.h"
#include "baspmpic.h"
#include "pmunit.h"

namespace PersonalityModule {
namespace {

constexpr char kUnit[] = "ValidatorFactory";

}  // namespace

boost::shared_ptr<Validator> CreatePicValidator(const Port::StringBase<char>& type,
                                                const PMSpecImp* imp) {
  // Validators answer from a part's device and internal names: only parts get one.
  const PMPicImp* const part = dynamic_cast<const PMPicImp*>(imp);
  if (part && type == "FPGA") return boost::make_shared<FPGA_Validator>(part);
  if (part && type == "CPLD") return boost::make_shared<CPLD_Validator>(part);
  if (part && type == "CONFIG") return boost::make_shared<CONFIG_Validator>(part);
  PM_ISSUE(ValidatorSetupFailed);
  return boost::shared_ptr<Validator>();
}

}  // namespace PersonalityModule
