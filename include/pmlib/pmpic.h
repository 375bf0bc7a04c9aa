/// @file pmlib/pmpic.h
/// @brief Part identification: an architecture narrowed down to device, package and speed.
#ifndef PMLIB_PMPIC_H
#define PMLIB_PMPIC_H

#include <pmlib/export.h>

#include <memory>
#include <vector>

#include <pmlib/pmspec.h>
#include <pmport/port_string.h>

/// @brief A part: the module specification of its architecture extended with device, package
/// and speed.
///
/// Depth 1 is the architecture, 2 the device, 3 the package, 4 the speed; setting a level clears
/// every deeper one first. All state lives in the implementation object. See docs/parts.md,
/// docs/part-names.md and docs/validation.md.
///
/// Thread safety: one object per thread. Constructing and copying a part, set_pm, set_arch,
/// set_part and the part-name tests parse names and set architectures, which fill the library's
/// unlocked tables (the pattern table, the alias registry): run them on one thread at a time.
/// The level setters, validity tests, lists, names and file lookups of parts set up beforehand
/// may run on several threads at once, each on its own part; the caches beneath are locked.
/// (The first walk of a list builds it through a scratch part: walk lists for the first time
/// while no other thread sets architectures.)
class PMLIB_API PM_PIC : public PM_SPEC {
 public:
  /// A part named by @p partname ("xcab12etq144-3", "xcab12e-3-tq144", an architecture name): its
  /// architecture is found among the installed ones. An unknown name gives an empty part; with
  /// @p record, the level that failed and its text are kept (getpicstatus).
  PM_PIC(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding);
  /// A part of the architecture @p arch ("vendor:arch" or "arch") named @p part (may be null),
  /// with warnings when the vendor, the part or the expected @p speed do not fit.
  PM_PIC(const char* arch, const char* part, const char* speed);
  /// Rebuilds the copy level by level through the setters (architecture, device, package, speed).
  PM_PIC(const PM_PIC& other);
  PM_PIC& operator=(const PM_PIC&) = delete;
  ~PM_PIC() override;

  /// Sets the architecture, reporting definition-file errors. @return 1 when its definition was
  /// opened.
  unsigned char set_pm(const char* pm) override;
  /// Sets the architecture; @p reportErrors chooses whether definition-file errors are reported.
  unsigned char set_pm(const char* pm, unsigned char reportErrors);
  /// set_pm under its other name.
  unsigned char set_arch(const char* arch);
  ///@{
  /// The architecture's name and its @p i-th friend, as PM_SPEC::get_pm and get_pm_friend.
  char* get_arch() const;
  char* get_arch_friend(int i) const;
  ///@}

  ///@{
  /// The level setters. set_device takes any name of a device (external or internal, in any
  /// letter case) and keeps the architecture's device name; it does not validate the name. A
  /// package or speed needs a device first (a warning and false otherwise).
  bool set_device(const char* name);
  bool set_package(const char* name);
  bool set_speed(const char* name);
  ///@}

  ///@{
  /// The levels and the architecture's VENDOR and FAMILY; null when empty. Owned by the part.
  char* get_vendor() const;
  char* get_family() const;
  char* get_device() const;
  char* get_package() const;
  char* get_speed() const;
  ///@}

  ///@{
  /// Composed names, newly allocated (the caller frees them with delete[]), without the device's
  /// leading part-name letter and "c": get_part is device and package ("ab12etq144"), null unless
  /// both are set; get_partname adds the speed ("ab12etq144-3"), null without a device.
  char* get_part() const;
  char* get_partname() const;
  ///@}

  ///@{
  /// The internal names of the current device: at least one once a device is set (the
  /// placeholder "NO_INTERNAL_DEVICE_NAME" when the architecture lists none for it).
  char* get_internal_device(int index) const;
  int get_num_idnames() const;
  ///@}
  /// The architecture's device name for any name of a device, newly allocated (delete[]), or
  /// null when no device of the architecture has that name.
  char* find_external_device(const char* name) const;
  /// The first internal name of the device @p name, or "NO_INTERNAL_DEVICE_NAME".
  Port::StringBase<char> find_internal_device(const char* name) const;

  ///@{
  /// The device's subfamily specifier (what SUBFAM_FORMAT captures from the whole device name)
  /// and the subfamily it selects from SUBFAM_NAMES; empty when none.
  Port::StringBase<char> GetSubFamilySpecifier() const;
  Port::StringBase<char> GetSubFamily() const;
  ///@}
  /// Appends the architecture's RANGES entries; false (nothing appended) when it lists none.
  bool getsupportedranges(std::vector<Port::StringBase<char>>& ranges) const;
  /// The range the speed's last letter names when the architecture supports it, else the
  /// default (first) range.
  Port::StringBase<char> get_range() const;
  /// Device, speed (unless "-0P") and package run together; empty without a device.
  Port::StringBase<char> getDatabookName() const;

  ///@{
  /// The speed file's flags: a "-0" grade (minimum speed) and a "-411" grade. Set when the
  /// speeds are listed (make_list at depth 3) or by the setters below.
  unsigned char get_minspd() const;
  unsigned char get_411spd() const;
  void set_minspd(unsigned char value);
  void set_411spd(unsigned char value);
  ///@}

  // ---- Validity, error status, defaults, lists and the dump ----

  /// Whether the part is complete to the package level (to the speed level with @p toSpeed) and
  /// every level is valid; internal messages name what is not, unless @p quiet.
  unsigned char isvalid(unsigned char toSpeed, unsigned char quiet) override;
  /// The list of what may come next, read through PM_SPEC::get_list or begin/end: the
  /// architectures ("vendor:family") of an empty part, the devices of an architecture, the
  /// packages of a device, the speeds of a package (those in DISALLOW_SPEEDS left out). @p key
  /// filters the architectures ("LOGICAL" and "PHYSICAL" stand for SUPPORT_MODE); configuration
  /// architectures are never listed here.
  void make_list(const char* key, const char* value, unsigned char withBaseMode) override;
  /// Prints the part as status messages; the label is not used.
  void printme(const char* label) const override;
  /// Whether the architecture is installed as a physical architecture with device data.
  bool IsValid() const;
  ///@{
  /// The level tests: whether the part's validator accepts @p name at that level (a speed in
  /// DISALLOW_SPEEDS is refused). They never change the part.
  unsigned char isvaliddevicename(const char* name, unsigned char quiet) const;
  unsigned char isvalidpackagename(const char* name, unsigned char quiet) const;
  unsigned char isvalidspeedname(const char* name, unsigned char quiet) const;
  ///@}
  ///@{
  /// The error status of the last parse with recording (0 none, 1 architecture, 2 device,
  /// 3 package, 4 speed); @p text is pointed at the rejected text when there is one (owned by
  /// the part). geterrorstatus resets a status without rejected text to 0.
  char getpicstatus(const char*& text) const;
  char geterrorstatus(const char*& text) const;
  ///@}
  /// Completes the part with the first device, package and speed of their lists; false (fatal
  /// 19) when a level has none.
  bool fill_defaults();
  /// Whether @p name denotes the current device (or one of its internal names).
  bool matches_device(const char* name) const;
  /// Equal architecture and levels down to the depth, which must be the same.
  bool operator==(const PM_PIC& other) const;
  /// Lists the macro files (*.nmc) of the architecture's folder in the base installation, read
  /// through PM_SPEC::get_list.
  void make_macrolist();

  // ---- Part names ----

  /// Sets device and package from a part name of the architecture ("ab12etq144"); the speed is
  /// kept. False, with a warning, when the name is no part of it.
  bool set_part(const char* partname);
  ///@{
  /// Whether @p name is a part of the architecture; the outs receive its device and package,
  /// newly allocated (delete[]) or null.
  unsigned char isvalidpartname(const char* name, char*& device, char*& package,
                                unsigned char quiet) const;
  unsigned char isvalidpartname(const char* name, unsigned char quiet) const;
  ///@}
  /// Whether @p name is a part of some installed architecture, which @p arch receives.
  bool isvalidpartname(const Port::StringBase<char>& name, Port::StringBase<char>& arch,
                       bool quiet) const;

 protected:
  /// For derived parts that bring an implementation of their own kind: installs @p imp and
  /// parses @p partname as the public constructor does.
  PM_PIC(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding,
         std::unique_ptr<PMPicImp> imp);

 private:
  // The library makes parts of an architecture through PMPicImp::NewPart.
  friend class PMPicImp;
  explicit PM_PIC(BareHandle);

  const PMPicImp& pic() const;
  PMPicImp& pic();
};

#endif  // PMLIB_PMPIC_H
