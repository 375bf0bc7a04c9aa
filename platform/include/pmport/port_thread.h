// Threading: the mutex and its scoped guard.
#ifndef PMPORT_PORT_THREAD_H
#define PMPORT_PORT_THREAD_H

#include <pmport/export.h>

#include <pthread.h>

// Exceptions of the threading library. A guard whose lock fails throws LockFailed (value 8).
struct PMPORT_API Port_ThrException {
  enum Exception { LockFailed = 8 };
};

// A non-recursive mutex whose lock and unlock report errors instead of failing silently: locking
// it again on the thread that holds it returns an error code.
class PMPORT_API Port_ThrMutex {
 public:
  Port_ThrMutex();
  ~Port_ThrMutex();
  Port_ThrMutex(const Port_ThrMutex&) = delete;
  Port_ThrMutex& operator=(const Port_ThrMutex&) = delete;

  int lock();    // 0 on success, else an errno value
  int unlock();  // 0 on success, else an errno value

 private:
  pthread_mutex_t mutex_;
};

namespace Port {

// Locks on construction, unlocks on destruction; throws Port_ThrException::LockFailed when the
// lock fails.
template <class Mutex>
class ThrGuard {
 public:
  explicit ThrGuard(Mutex& mutex) : mutex_(mutex) {
    if (mutex_.lock() != 0) throw Port_ThrException::LockFailed;
  }
  ~ThrGuard() { mutex_.unlock(); }
  ThrGuard(const ThrGuard&) = delete;
  ThrGuard& operator=(const ThrGuard&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace Port

template <class Mutex>
using Port_ThrGuard = Port::ThrGuard<Mutex>;

#endif  // PMPORT_PORT_THREAD_H
