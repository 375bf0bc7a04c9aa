// What every source unit of the library shares: the message helper and the per-unit
// initialisation objects of the platform layer.
#ifndef PMLIB_S_PMUNIT_H
#define PMLIB_S_PMUNIT_H

#include <pmport/citp.h>
#include <pmport/port_file.h>
#include <pmport/port_msg.h>
#include <pmport/port_path.h>

#include "pmmessages.h"

namespace pmlib {

// The domain of every message the library issues.
constexpr const char kMsgDomain[] = "PersonalityModule";
// The revision reported with the library's messages.
constexpr const char kMsgRevision[] = "1.0";

// A message object for a place in a source unit of the library.
inline Port_MsgManData Msg(const char* unit, int line) {
  return Port_MsgManData::createObject(kMsgDomain, unit, line, kMsgRevision);
}

// The platform services a unit relies on stay up while the unit is loaded. Each unit holds one
// of these (through the static below), constructed at load and destroyed at unload.
struct UnitInit {
  Port::FileInit file;
  Port::PathListInit pathList;
  Port_MsgManInit messages;
  CitP::InstanceTableInit instanceTable;
  CitP::FactoryInit factory;
};

}  // namespace pmlib

// Each unit defines `kUnit` (its name in messages) before using PM_MSG.
#define PM_MSG() ::pmlib::Msg(kUnit, __LINE__)

namespace {
// Internal linkage: one per unit, constructed before the unit's own load-time objects that are
// defined after the include.
const pmlib::UnitInit pmUnitInit;
}  // namespace

#endif  // PMLIB_S_PMUNIT_H
