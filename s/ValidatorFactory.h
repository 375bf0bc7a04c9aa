// The choice of a part's validator by architecture type. Kept apart from the validator classes so
// that a part implementation needs nothing of them but this declaration.
#ifndef PMLIB_S_VALIDATORFACTORY_H
#define PMLIB_S_VALIDATORFACTORY_H

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>

class PMSpecImp;

namespace PersonalityModule {

class Validator;

// The validator a part (`imp`, which keeps it) gets for the upper-case architecture type `type`:
// "FPGA", "CPLD" and "CONFIG" are compared exactly; any other type issues fatal 101 "Error in
// setting up validator\n" and yields none.
boost::shared_ptr<Validator> CreatePicValidator(const Port::StringBase<char>& type,
                                                const PMSpecImp* imp);

}  // namespace PersonalityModule

#endif  // PMLIB_S_VALIDATORFACTORY_H
