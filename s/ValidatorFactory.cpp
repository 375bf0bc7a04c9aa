// The choice of a part's validator by architecture type.
#include "ValidatorFactory.h"

#include "pmunit.h"

namespace PersonalityModule {
namespace {

constexpr char kUnit[] = "ValidatorFactory";

bool IsKnownType(const Port::StringBase<char>& type) {
  return type == "FPGA" || type == "CPLD" || type == "CONFIG";
}

}  // namespace

// No validator class exists yet for any type, so a known type yields none as well; the part then
// answers every validator question as "no data".
boost::shared_ptr<Validator> CreatePicValidator(const Port::StringBase<char>& type,
                                                PMSpecImp* /*imp*/) {
  if (!IsKnownType(type)) PM_MSG().issueFatal(101, "Error in setting up validator\n");
  return boost::shared_ptr<Validator>();
}

}  // namespace PersonalityModule
