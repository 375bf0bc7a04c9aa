// Validators: what a part's architecture type decides about its devices, packages and speeds,
// how much evidence on disk a module needs to count as having device data, and where the device,
// package and speed lists come from.
#ifndef PMLIB_S_VALIDATOR_H
#define PMLIB_S_VALIDATOR_H

#include <utility>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>
#include <pmport/sfp_acd.h>

#include "PMLists.h"

class PMPicImp;

namespace PersonalityModule {

// The speed grades of a speed file and its flag byte: bit 0 the "-0" grade (minimum speed), bit 1
// the "-411" grade.
struct SpeedListSource {
  NameVectorPtr names;
  unsigned char flags = 0;
};

enum SpeedFlagBits : unsigned char { kMinSpeedBit = 1, kSpeed411Bit = 2 };

// The rules of an FPGA architecture for parts of the implementation tools: a device needs its
// device (.nph) and package (.pkg) files.
class Validator {
 public:
  // `imp` is the part implementation that owns this validator; it outlives it.
  explicit Validator(const PMPicImp* imp);
  virtual ~Validator();
  Validator(const Validator&) = delete;
  Validator& operator=(const Validator&) = delete;

  // Whether some entry of the device table under `key` in `acd` has the data files this kind of
  // architecture needs, in the data folders of `pm` or of its friend chain.
  virtual bool haskeydata(const StaticAcdRead& acd, const Port::StringBase<char>& key,
                          const Port::StringBase<char>& pm);
  virtual bool hasdevicedata(const StaticAcdRead& acd, const Port::StringBase<char>& pm);
  virtual bool isvaliddevice(const Port::StringBase<char>& device);
  virtual bool isvalidpackage(const Port::StringBase<char>& device,
                              const Port::StringBase<char>& package);
  virtual bool isvalidspeed(const Port::StringBase<char>& device,
                            const Port::StringBase<char>& speed);
  virtual ListIterator devicebegin();
  virtual ListIterator deviceend();
  virtual ListIterator packagebegin(const Port::StringBase<char>& device);
  virtual ListIterator packageend(const Port::StringBase<char>& device);
  virtual ListIterator speedbegin(const Port::StringBase<char>& device);
  virtual bool getminspd(const Port::StringBase<char>& device);
  virtual bool get411spd(const Port::StringBase<char>& device);
  virtual ListIterator speedend(const Port::StringBase<char>& device);
  // Every device of the device list with its package and speed lists, as packagebegin and
  // speedbegin would walk them; the lists are found once per process, so a walk of all parts
  // costs no lookup by name. Empty for a part without a module.
  virtual const DeviceListsTable& devicelists();
  // The list sources; they run inside list builds only.
  virtual NameVectorPtr makedevicelist(bool listing);
  virtual NameVectorPtr makepackagelist(const Port::StringBase<char>& device);
  virtual SpeedListSource makespeedlist(const Port::StringBase<char>& device);

 protected:
  // haskeydata for an architecture that needs a data file of every one of `extensions`.
  bool HasEntryWithDataFiles(const StaticAcdRead& acd, const Port::StringBase<char>& key,
                             const Port::StringBase<char>& pm,
                             const std::vector<const char*>& extensions) const;
  // The device list source common to every kind: the external names of the device table.
  NameVectorPtr DeclaredDevices() const;
  // Whether the device table names `device` (under any of its names) and gives it an external
  // name.
  bool IsDeclaredDevice(const Port::StringBase<char>& device) const;

  const PMPicImp* imp;
};

class FPGA_Validator : public Validator {
 public:
  explicit FPGA_Validator(const PMPicImp* imp);
  // The device file (.nph) decides.
  bool isvaliddevice(const Port::StringBase<char>& device) override;
  // The devices whose device files are installed.
  NameVectorPtr makedevicelist(bool listing) override;

 private:
  bool HasDeviceFileWithoutTable(const Port::StringBase<char>& device) const;
  bool HasDeviceFileOfTableEntry(const Port::StringBase<char>& device) const;
};

// The rules of an FPGA architecture for configuration parts: a declared device with a package
// file is enough.
class FPGA_CF_Validator : public Validator {
 public:
  explicit FPGA_CF_Validator(const PMPicImp* imp);
  bool haskeydata(const StaticAcdRead& acd, const Port::StringBase<char>& key,
                  const Port::StringBase<char>& pm) override;
  bool isvaliddevice(const Port::StringBase<char>& device) override;
  NameVectorPtr makedevicelist(bool listing) override;
};

// CPLD architectures: a device needs its package file only.
class CPLD_Validator : public Validator {
 public:
  explicit CPLD_Validator(const PMPicImp* imp);
  bool haskeydata(const StaticAcdRead& acd, const Port::StringBase<char>& key,
                  const Port::StringBase<char>& pm) override;
};

// Configuration memories: the definition's device table is all the evidence there is; every
// package and speed name is accepted.
class CONFIG_Validator : public Validator {
 public:
  explicit CONFIG_Validator(const PMPicImp* imp);
  bool haskeydata(const StaticAcdRead& acd, const Port::StringBase<char>& key,
                  const Port::StringBase<char>& pm) override;
  bool isvalidpackage(const Port::StringBase<char>& device,
                      const Port::StringBase<char>& package) override;
  bool isvalidspeed(const Port::StringBase<char>& device,
                    const Port::StringBase<char>& speed) override;
  NameVectorPtr makepackagelist(const Port::StringBase<char>& device) override;
  SpeedListSource makespeedlist(const Port::StringBase<char>& device) override;
};

}  // namespace PersonalityModule

#endif  // PMLIB_S_VALIDATOR_H
