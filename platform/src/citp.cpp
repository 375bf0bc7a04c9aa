// Per-unit initialisation objects: reference counts of the units that are loaded.
#include "pmport/citp.h"

#include <atomic>

namespace {
std::atomic<int> instanceTableUsers{0};
std::atomic<int> factoryUsers{0};
}  // namespace

namespace CitP {

InstanceTableInit::InstanceTableInit() { ++instanceTableUsers; }
InstanceTableInit::~InstanceTableInit() { --instanceTableUsers; }
int InstanceTableInit::count() { return instanceTableUsers.load(); }

FactoryInit::FactoryInit() { ++factoryUsers; }
FactoryInit::~FactoryInit() { --factoryUsers; }
int FactoryInit::count() { return factoryUsers.load(); }

}  // namespace CitP
