// A small process-wide map for results that are costly to make and never change once made.
#ifndef PMLIB_S_PMLOCKEDMAP_H
#define PMLIB_S_PMLOCKEDMAP_H

#include <map>
#include <optional>
#include <utility>

#include <pmport/port_thread.h>

namespace PersonalityModule {

// The one get-or-create shape of the library's locked caches. findOrMake makes a missing value
// outside the lock (reading files, probing definitions, compiling): two threads that miss together
// both make one, and the first stored serves everyone after. findOrMakeLocked is for values cheap
// to make and touching no other lock or file: it makes them under the lock, so each is made once.
template <class Key, class Value>
class LockedMap {
 public:
  template <class Make>
  Value findOrMake(const Key& key, Make make) {
    if (std::optional<Value> known = find(key)) return *std::move(known);
    const Value made = make();
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    return entries_.emplace(key, made).first->second;
  }
  template <class Make>
  Value findOrMakeLocked(const Key& key, Make make) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    auto found = entries_.find(key);
    if (found == entries_.end()) found = entries_.emplace(key, make()).first;
    return found->second;
  }
  std::optional<Value> find(const Key& key) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    const auto found = entries_.find(key);
    if (found == entries_.end()) return std::nullopt;
    return found->second;
  }
  // Stores `value` under `key` unless a value is there already; says whether it stored it.
  bool insert(const Key& key, const Value& value) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    return entries_.emplace(key, value).second;
  }

 private:
  Port_ThrMutex mutex_;
  std::map<Key, Value> entries_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_PMLOCKEDMAP_H
