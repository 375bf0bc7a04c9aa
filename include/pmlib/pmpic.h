// Part identification: an architecture narrowed down to device, package and speed.
#ifndef PMLIB_PMPIC_H
#define PMLIB_PMPIC_H

#include <pmlib/pmspec.h>

// A part: the specification of its architecture extended with device, package and speed.
class PM_PIC : public PM_SPEC {
 public:
  PM_PIC(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding);
  PM_PIC(const char* arch, const char* part, const char* speed);
  PM_PIC(const PM_PIC& other);
  PM_PIC& operator=(const PM_PIC&) = delete;
  ~PM_PIC() override;

  char* get_arch() const;
  char* get_device() const;
  char* get_package() const;
  char* get_internal_device(int index) const;
  int get_num_idnames() const;
};

#endif  // PMLIB_PMPIC_H
