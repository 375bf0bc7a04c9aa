// Per-unit initialisation objects of the instance table and the factory registry.
#ifndef PMPORT_CITP_H
#define PMPORT_CITP_H

#include <pmport/export.h>

namespace CitP {

// Each counts the units that hold one; the shared state they stand for lives while any does.
class PMPORT_API InstanceTableInit {
 public:
  InstanceTableInit();
  ~InstanceTableInit();
  InstanceTableInit(const InstanceTableInit&) = delete;
  InstanceTableInit& operator=(const InstanceTableInit&) = delete;
  static int count();
};

class PMPORT_API FactoryInit {
 public:
  FactoryInit();
  ~FactoryInit();
  FactoryInit(const FactoryInit&) = delete;
  FactoryInit& operator=(const FactoryInit&) = delete;
  static int count();
};

}  // namespace CitP

#endif  // PMPORT_CITP_H
