// Threading: an error-checking mutex, so that a lock that cannot be taken is reported.
#include "pmport/port_thread.h"

Port_ThrMutex::Port_ThrMutex() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
  pthread_mutex_init(&mutex_, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

Port_ThrMutex::~Port_ThrMutex() { pthread_mutex_destroy(&mutex_); }

int Port_ThrMutex::lock() { return pthread_mutex_lock(&mutex_); }

int Port_ThrMutex::unlock() { return pthread_mutex_unlock(&mutex_); }
