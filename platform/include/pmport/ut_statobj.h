// Named static objects: the base of the process-wide singletons.
#ifndef PMPORT_UT_STATOBJ_H
#define PMPORT_UT_STATOBJ_H

#include <pmport/export.h>

#include <string>

// A process-wide object registered under a name for as long as it lives. Registering a second
// object under a name that is taken keeps the first one findable.
class PMPORT_API UT_STATOBJ {
 public:
  explicit UT_STATOBJ(const char* name);
  virtual ~UT_STATOBJ();
  UT_STATOBJ(const UT_STATOBJ&) = delete;
  UT_STATOBJ& operator=(const UT_STATOBJ&) = delete;

  const char* getname() const { return name_.c_str(); }

  // The live object registered under `name`, or null.
  static UT_STATOBJ* Find(const char* name);

 private:
  std::string name_;
};

#endif  // PMPORT_UT_STATOBJ_H
