// A small process-wide map for results that are costly to make and never change once made.
#ifndef PMLIB_S_PMLOCKEDMAP_H
#define PMLIB_S_PMLOCKEDMAP_H

#include <map>
#include <optional>

#include <pmport/port_thread.h>

namespace PersonalityModule {

// The lock covers only a lookup or an insertion: the caller makes a missing value outside it
// (reading files, probing definitions), so two threads that miss together both make one, and the
// first stored serves everyone after.
template <class Key, class Value>
class LockedMap {
 public:
  std::optional<Value> find(const Key& key) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    return found->second;
  }
  // Stores `value` under `key` unless a value is there already.
  void insert(const Key& key, const Value& value) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    entries_.emplace(key, value);
  }

 private:
  Port_ThrMutex mutex_;
  std::map<Key, Value> entries_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_PMLOCKEDMAP_H
