// Part utilities: the ordering of device names under which two spellings of a device name denote
// the same device, the device tables of a definition, test-device mode and whole-name pattern
// matching.
//
// These are free of any part object so that the part code, its lookups of internal names and the
// list builders can share them.
#ifndef PMLIB_S_BASPMPICUTIL_H
#define PMLIB_S_BASPMPICUTIL_H

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace PersonalityModule {

// The number that identifies a device within its name, and where it starts.
struct DeviceMainNumber {
  unsigned long long value = 0;  // saturates instead of overflowing on absurdly long runs
  std::size_t start = 0;         // offset of its first digit; 0 for a name without digits
};

// The main number of `name`: of the first two runs of decimal digits, the first when it is
// strictly longer than the second, otherwise the second; a single run is taken as it is; a name
// without digits (or a null name) has the number 0 at its start.
DeviceMainNumber GetDeviceMainNumber(const char* name);

// Orders two device names like strcmp: negative, zero or positive. Zero means both name the same
// device, e.g. "xcab12e", "cab12e" and "ab12e". Null is taken as the empty name.
int CompareDeviceNames(const char* a, const char* b);

// The `separator`-separated names of `value`, each with surrounding spaces removed (an empty name
// stays, as ""); no names for a null or empty value.
std::vector<std::string> SplitNames(const char* value, char separator);

// A device table: a value of the form "dev1,int1a,int1b:dev2,int2" (groups separated by ":",
// names within a group by ","; the first name of a group is the device name, the others its
// internal names), parsed once and indexed, so that finding a name does not scan the table.
// Names are kept as written with surrounding spaces removed; a missing name is empty.
class DeviceTable {
 public:
  using Group = std::vector<std::string>;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  explicit DeviceTable(const char* value);

  const std::vector<Group>& groups() const { return groups_; }
  // The first name of group `index`, or of the first group; empty when there is none.
  const std::string& DeviceName(std::size_t index) const;
  // The first group one of whose names equals `name` ignoring ASCII case; kNone for none (and
  // for an empty name).
  std::size_t FindGroupWithName(const char* name) const;
  // Every group one of whose names equals `name` ignoring ASCII case, in ascending order.
  const std::vector<std::size_t>& GroupsWithName(const char* name) const;
  // The first group before `end` whose device name denotes the same device as `name` under
  // CompareDeviceNames; kNone for none.
  std::size_t FindGroupOfDevice(const char* name, std::size_t end) const;
  // The number of groups before the first one without a device name.
  std::size_t NamedGroups() const { return namedGroups_; }
  // The number of groups before the first one without a device name or first internal name.
  std::size_t PairedGroups() const { return pairedGroups_; }

 private:
  void Index(std::size_t group);
  static std::string DeviceKey(const char* name);

  std::vector<Group> groups_;
  std::unordered_map<std::string, std::vector<std::size_t>> byName_;  // lower-cased name: groups
  // Names that compare equal share their main number and the text from it (ignoring case); the
  // groups with that key, in ascending order, are the only candidates for a device name.
  std::unordered_map<std::string, std::vector<std::size_t>> byDevice_;
  std::size_t namedGroups_ = 0;
  std::size_t pairedGroups_ = 0;
};

// The regular expression of a device format (DEVICE_FORMAT, ALT_DEVICE_FORMAT): a "#" introduces
// an expression used as it stands; otherwise the format is a template whose leading "x" and "c"
// become optional and whose runs of "_" stand for a run of digits ("xcab_e" gives
// "^x?c?ab[0-9]+e").
std::string DeviceExpression(const std::string& format);

// Calls `visit` with each group of the device table `value` (null for none), in order and parsed
// as DeviceTable parses them, until it returns true; whether one did. A check that the first
// groups settle (the probe of an architecture's device data) parses no more of a long table.
bool AnyDeviceGroup(const char* value, const std::function<bool(const DeviceTable::Group&)>& visit);

// The table of a DEVICE_INTERNAL value (null for none), made once per distinct value in the
// process and kept for its life: every part of an architecture reads the same value, and making
// the table is the larger part of naming a device.
std::shared_ptr<const DeviceTable> SharedDeviceTable(const char* value);

// Whether test devices (TEST_DEVICE_INTERNAL) are in use: the switch's presence in the
// environment, read once per process.
bool TestDeviceMode();

// Whether the regular expression `pattern` (Perl syntax) matches the whole of `text`; on a match
// `group1` receives capture group 1 (empty when the pattern has none). A pattern that does not
// compile matches nothing. Each distinct pattern is compiled once per process.
bool MatchWholeName(const std::string& pattern, const std::string& text, std::string& group1);

}  // namespace PersonalityModule

#endif  // PMLIB_S_BASPMPICUTIL_H
