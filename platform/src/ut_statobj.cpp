// Named static objects.
#include "pmport/ut_statobj.h"

#include <map>

#include "pmport/port_thread.h"

namespace {

struct StatObjRegistry {
  Port_ThrMutex mutex;
  std::multimap<std::string, UT_STATOBJ*> objects;
};

StatObjRegistry& Registry() {
  // Built by the first registration, so it is destroyed after every registered object.
  static StatObjRegistry registry;
  return registry;
}

}  // namespace

UT_STATOBJ::UT_STATOBJ(const char* name) : name_(name ? name : "") {
  StatObjRegistry& registry = Registry();
  Port::ThrGuard<Port_ThrMutex> guard(registry.mutex);
  registry.objects.emplace(name_, this);
}

UT_STATOBJ::~UT_STATOBJ() {
  StatObjRegistry& registry = Registry();
  Port::ThrGuard<Port_ThrMutex> guard(registry.mutex);
  auto range = registry.objects.equal_range(name_);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == this) {
      registry.objects.erase(it);
      break;
    }
  }
}

UT_STATOBJ* UT_STATOBJ::Find(const char* name) {
  StatObjRegistry& registry = Registry();
  Port::ThrGuard<Port_ThrMutex> guard(registry.mutex);
  // Equal names keep their order of registration: the lower bound is the first registered.
  auto it = registry.objects.lower_bound(name ? name : "");
  if (it != registry.objects.end() && it->first != (name ? name : "")) it = registry.objects.end();
  return it == registry.objects.end() ? nullptr : it->second;
}
