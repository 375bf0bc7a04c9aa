// Part internals: the implementation object behind PM_PIC. Not installed.
#ifndef PMLIB_S_BASPMPIC_H
#define PMLIB_S_BASPMPIC_H

#include <memory>
#include <string>
#include <vector>

#include <boost/container/static_vector.hpp>
#include <boost/shared_ptr.hpp>

#include <pmlib/pmpic.h>
#include <pmport/port_path.h>
#include <pmport/port_string.h>

#include "baspmdevkey.h"
#include "baspmpicutil.h"
#include "baspmspec.h"

namespace PersonalityModule {
class ListIterator;
}

// The implementation behind a PM_PIC handle: the module specification of the architecture extended
// with the part levels (device, package, speed) and what the architecture's definition says of
// them. Thread safety: as PMSpecImp's; const operations write the mutable members, each says why.
class PMPicImp : public PMSpecImp {
 public:
  // A part with no architecture yet.
  PMPicImp(PM_SPEC* owner, PM_PARTNAME_BINDING binding);
  // A part of no owner that takes the source's permissions, flags, error status and speed flags,
  // at depth 0; RebuildLevelsFrom then sets its levels.
  PMPicImp(const PMPicImp& other);
  PMPicImp& operator=(const PMPicImp&) = delete;

  ~PMPicImp() override;
  unsigned char set_pm(const char* pm) override;
  void Reset() override;
  Port::String GetChainName(int level, int index, int internalIndex) const override;
  bool FindInPathList(char level, Port::String& path, const Port::String& name,
                      int firstIndex) const override;
  // Stores the architecture type (empty means "FPGA") and, when it changed, takes the validator
  // for it. Const: probing a definition selects its type, and const queries probe (IsValid).
  virtual void SetArchType(Port::String type) const;
  // A new implementation of the same kind with no owner, no name and `binding`.
  virtual std::unique_ptr<PMPicImp> CreateEmptyImp(PM_PARTNAME_BINDING binding) const;
  // A copy of this implementation, of the same kind, as the copying constructor makes it.
  virtual std::unique_ptr<PMPicImp> CreateCopy() const;

  // A part bound to the architecture `arch` (located and loaded, with the messages of a missing
  // or corrupt definition), or an empty part for a null `arch`.
  static std::unique_ptr<PM_PIC> NewPart(const char* arch, PM_PARTNAME_BINDING binding);
  // A copy of `source` made as PM_PIC's copy makes it, but with an implementation of the
  // source's kind: a configuration part's copy follows the configuration rules.
  static std::unique_ptr<PM_PIC> CopyPart(const PM_PIC& source);
  // Gives the bare handle `part` the copy `imp` of `source` and rebuilds the source's levels.
  static void InstallCopy(PM_PIC& part, std::unique_ptr<PMPicImp> imp, const PMPicImp& source);

  // The set-architecture step: loads the module and takes its VENDOR, FAMILY, PARTNAMECHAR,
  // PMPREFIX and ARCH_TYPE.
  unsigned char SetArchitecture(const char* name, bool report);
  // Sets the architecture, device, package and speed of `source` through the setters.
  void RebuildLevelsFrom(const PMPicImp& source);

  bool SetDevice(const char* name);
  bool SetPackage(const char* name);
  bool SetSpeed(const char* name);

  char* ComposePart() const;
  char* ComposePartName() const;

  // Device naming.
  Port::String ExternalName(const char* name) const;
  Port::String FirstInternalName(const char* name) const;
  const char* InternalName(int index) const;
  int InternalNameCount() const { return internalNameCount; }
  Port::String SubFamilySpecifier() const;
  Port::String SubFamily() const;
  bool SupportedRanges(std::vector<Port::String>& ranges) const;
  Port::String Range() const;
  Port::String DatabookName() const;

  // The part's names for a part key store.
  PMPartNames PartNames() const;

  const Port::String& deviceName() const { return device; }
  const Port::String& packageName() const { return package; }
  const Port::String& speedName() const { return speed; }
  const Port::String& vendorName() const { return vendor; }
  const Port::String& familyName() const { return family; }
  const Port::String& architectureType() const { return archType; }
  const PersonalityModule::Validator* currentValidator() const { return validator.get(); }
  bool minimumSpeed() const { return minSpeed; }
  bool speed411() const { return spd411; }
  void setMinimumSpeed(bool value) { minSpeed = value; }
  void setSpeed411(bool value) { spd411 = value; }

  // ---- Validity, error status, defaults, lists and the dump (baspmpicvalid.cpp) ----

  // The list of what may come next at the current depth: the architectures, the devices of the
  // architecture, the packages of the device or the speeds of the package.
  void make_list(const char* key, const char* value, bool withBaseMode,
                 int withConfiguration) override;
  // The level tests: whether the validator accepts the name for this part, with the messages
  // unless `quiet`. They never change the part.
  bool IsValidDeviceName(const char* name, bool quiet) const;
  bool IsValidPackageName(const char* name, bool quiet) const;
  bool IsValidSpeedName(const char* name, bool quiet) const;
  unsigned char IsValidPart(bool toSpeed, bool quiet);
  // Replaces the key store by the part's device-level store, once per device and package.
  void MakeDeviceKeysCurrent() const;
  // Whether the definition of `name` under `root` is a physical architecture whose validator
  // finds device data (or, with `alsoUnsupported`, a physical unsupported one). Selects the
  // architecture type of the definition found.
  bool ProbeArchitecture(const Port::String& root, const Port::String& name, bool alsoUnsupported);
  // Whether some installation root holds the current architecture (supported ones only).
  bool FindArchitectureOnPath() const;
  bool IsValidArchitecture() const;
  // The error status and, for a status with a rejected text, that text; ErrorStatus resets a
  // status without one to 0.
  char PicStatus(const char*& text) const;
  char ErrorStatus(const char*& text) const;
  bool FillDefaults();
  bool MatchesDevice(const char* name) const;
  bool SameLevels(const PMPicImp& other) const;
  void MakeMacroList();
  void PrintPart() const;

  // The device tables to search, in order: DEVICE_INTERNAL, then TEST_DEVICE_INTERNAL in
  // test-device mode. Empty without a key store. Parsed once per key store and kept by the part.
  // At most two tables: no allocation for a list asked for several times a parse.
  using DeviceTableList = boost::container::static_vector<const PersonalityModule::DeviceTable*, 2>;
  DeviceTableList DeviceTables() const;

 private:
  std::vector<std::string> DisallowedSpeeds() const;
  bool IsDisallowedSpeed(const char* speedName) const;
  bool ProbeDefinition(const Port::String& path, const Port::String& name, bool askValidator) const;
  const Port::String* RejectedText() const;
  bool DefaultLevel(const char* level, bool (PMPicImp::*set)(const char*));
  void ReleaseList();
  void ListRange(PersonalityModule::ListIterator name, const PersonalityModule::ListIterator& end,
                 const std::vector<std::string>& leftOut = {});
  void ListSpeeds();
  bool OpenListedDefinition(const Port::String& name);
  bool AcceptListedArchitecture(const char* key, const char* value, bool withBaseMode,
                                bool withConfiguration) const;
  bool ProbeListedArchitecture(const Port::PathListIterator& root, const Port::String& name);
  void ListArchitectures(const char* key, const char* value, bool withBaseMode,
                         bool withConfiguration);
  // ---- end of validity, error status, defaults, lists and the dump ----

 public:
  // ---- Part-name parsing (baspmpicparse.cpp) ----

  // Finds the architecture of the part name `name` (an architecture name, the pattern file, then
  // every installed architecture's device formats), splits the rest into package and speed and
  // binds the levels. With `record`, the first level that fails and its text are recorded.
  bool ParsePartName(const char* name, bool record, PM_PARTNAME_BINDING binding, bool quiet);
  // Binds the architecture `arch` ("vendor:arch" or "arch") and, when given, the part `part` of
  // it; warns when the vendor, the part or the expected speed `speed` does not fit.
  void ParseThreeStrings(const char* arch, const char* part, const char* speed);
  // Sets the device `part` holds over `deviceRange` and takes package and speed from the rest;
  // true when nothing unrecognised is left.
  bool ApplyPart(const Port::String& part, bool record, const Port_Range& deviceRange);
  // The device and package of `name` as a part of this architecture (DEVICE_FORMAT only), newly
  // allocated (delete[]) or null; false, with a message unless `quiet`, when it is none.
  bool IsValidPartName(const char* name, char*& deviceOut, char*& packageOut, bool quiet) const;
  // The architecture whose part `name` is; false when none.
  bool FindPartArchitecture(const Port::String& name, Port::String& arch, bool quiet) const;
  bool SetPart(const char* name);
  // Definitions of this part are read with the decode option (the three-string constructor).
  void DecodeDefinitions() { decodeDefinition = true; }

 private:
  struct ParseRecord;
  struct CheckedBinding;
  // On success `checked` says what the route bound and tested.
  bool MatchPatternFile(const Port::String& part, bool record, bool alsoUnsupported,
                        CheckedBinding& checked);
  bool SearchInstalledArchitectures(const Port::String& part, bool record,
                                    PM_PARTNAME_BINDING binding, bool quiet,
                                    ParseRecord& candidate);
  // `fromPatternFile` is null unless the pattern file's route found the architecture.
  void BindRecord(const Port::String& part, bool record, PM_PARTNAME_BINDING binding, bool quiet,
                  const CheckedBinding* fromPatternFile, const ParseRecord& candidate);
  void BindUnsupported(bool record, const ParseRecord& candidate);
  void BindSupported(const Port::String& part, bool record, const CheckedBinding* fromPatternFile,
                     const ParseRecord& candidate);
  bool StillBoundAsChecked(const CheckedBinding& checked, const ParseRecord& candidate) const;
  bool ProbeOnceForPattern(const Port::String& root, const Port::String& name,
                           bool alsoUnsupported);
  void TakeLevelsInto(ParseRecord& candidate) const;
  // An empty implementation of this one's kind, for the same owner.
  std::unique_ptr<PMPicImp> TemporaryOfSameKind(PM_PARTNAME_BINDING binding) const;
  // ---- end of part-name parsing ----

 protected:
  Port::String device;
  PMOwnedStrings internalNames;
  int internalNameCount;
  Port::String package;
  Port::String speed;
  Port::String vendor;
  Port::String family;
  Port::String partNameChar;
  Port::String givenDevice;
  // The const geterrorstatus resets a status that has no rejected text.
  mutable int errorStatus;
  bool spd411;
  bool minSpeed;
  // Whether defdata is the device-level store, which a const speed test makes on first need.
  mutable bool deviceKeysCurrent;
  Port::String rejectedArch;
  Port::String rejectedDevice;
  Port::String rejectedPackage;
  Port::String rejectedSpeed;

 private:
  // A parsed device table, the key store it was parsed from (held, so that its values stay where
  // they are) and the raw value: a store's values are never replaced once it is in use, so the
  // same store and value pointer mean the same table.
  struct ParsedTable {
    boost::shared_ptr<PM_DEVKEY> store;
    const char* source = nullptr;
    std::shared_ptr<const PersonalityModule::DeviceTable> table;
  };

  Port::String KeyValue(const char* key) const;
  Port::String UpperKeyValue(const char* key) const;
  // Whether KeyValue(key) would be non-empty, without copying the value.
  bool HasKeyValue(const char* key) const;
  const PersonalityModule::DeviceTable& Table(ParsedTable& parsed, const char* key) const;
  void LookUpInternalNames();
  void SetInternalNames(const std::vector<std::string>& names);
  void ReleaseInternalNames();
  void ClearDevice();
  void ClearPackage();
  void ClearSpeed();
  signed char LevelDepth() const;
  std::size_t PartNameStart() const;

  mutable ParsedTable deviceTable_;
  mutable ParsedTable testDeviceTable_;
};

#endif  // PMLIB_S_BASPMPIC_H
