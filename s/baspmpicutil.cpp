// Part utilities: device-name comparison, device tables, test-device mode and whole-name pattern
// matching.
#include "baspmpicutil.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include <boost/make_shared.hpp>
#include <boost/regex.hpp>
#include <boost/shared_ptr.hpp>

#include <pmport/port_env.h>
#include <pmport/port_string.h>
#include <pmport/port_thread.h>

#include "pmlockedmap.h"
#include "pmunit.h"

namespace PersonalityModule {
namespace {

struct DigitRun {
  unsigned long long value = 0;
  std::size_t start = 0;
  std::size_t length = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A device name may carry any text; a run of digits too long for the type keeps the largest
// value rather than wrapping around to a small one.
unsigned long long AppendDigit(unsigned long long value, char digit) {
  const unsigned long long d = static_cast<unsigned long long>(digit - '0');
  if (value > (ULLONG_MAX - d) / 10) return ULLONG_MAX;
  return value * 10 + d;
}

DigitRun ReadDigitRun(const char* name, std::size_t start) {
  DigitRun run;
  run.start = start;
  for (std::size_t pos = start; IsDigit(name[pos]); ++pos) {
    run.value = AppendDigit(run.value, name[pos]);
    ++run.length;
  }
  return run;
}

// The part of `name` after the main number, then the part before it reversed, leaving out a
// leading lower-case "x" and then a leading lower-case "c" (the vendor letters that users may
// or may not type).
std::string ComparisonKey(const char* name, std::size_t numberStart) {
  std::size_t prefixStart = 0;
  if (prefixStart < numberStart && name[prefixStart] == 'x') ++prefixStart;
  if (prefixStart < numberStart && name[prefixStart] == 'c') ++prefixStart;
  const std::string prefix(name + prefixStart, name + numberStart);
  std::string key(name + numberStart);
  key.append(prefix.rbegin(), prefix.rend());
  return key;
}

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

DeviceMainNumber GetDeviceMainNumber(const char* name) {
  if (!name) return {};
  DigitRun runs[2];
  int found = 0;
  // Only the first two runs count: the scan stops when the second one ends.
  for (std::size_t pos = 0; name[pos] != '\0' && found < 2;) {
    if (!IsDigit(name[pos])) {
      ++pos;
      continue;
    }
    runs[found] = ReadDigitRun(name, pos);
    pos += runs[found].length;
    ++found;
  }
  if (found == 0) return {};
  const DigitRun& chosen = (found == 1 || runs[0].length > runs[1].length) ? runs[0] : runs[1];
  DeviceMainNumber number;
  number.value = chosen.value;
  number.start = chosen.start;
  return number;
}

int CompareDeviceNames(const char* a, const char* b) {
  if (!a) a = "";
  if (!b) b = "";
  // The usual question, whether a table's name is the very name looked up, needs no keys.
  if (std::strcmp(a, b) == 0) return 0;
  const DeviceMainNumber numberA = GetDeviceMainNumber(a);
  const DeviceMainNumber numberB = GetDeviceMainNumber(b);
  if (numberA.value != numberB.value) return numberA.value < numberB.value ? -1 : 1;

  const int byTail = UT_STR::ICompare(a + numberA.start, b + numberB.start);
  if (byTail != 0) return Sign(byTail);
  if (numberA.start == 0 || numberB.start == 0) return 0;

  return Sign(UT_STR::ICompare(ComparisonKey(a, numberA.start).c_str(),
                               ComparisonKey(b, numberB.start).c_str()));
}

}  // namespace PersonalityModule

namespace PersonalityModule {
namespace {

constexpr char kGroupSeparator = ':';
constexpr char kNameSeparator = ',';

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Splits at every `separator`; an empty text has no parts.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  if (text.empty()) return parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

using Port::Lowered;

const std::string& EmptyName() {
  static const std::string empty;
  return empty;
}

}  // namespace

std::vector<std::string> SplitNames(const char* value, char separator) {
  std::vector<std::string> names;
  for (const std::string_view name : Split(value ? value : "", separator)) {
    names.emplace_back(TrimSpaces(name));
  }
  return names;
}

bool AnyDeviceGroup(const char* value,
                    const std::function<bool(const DeviceTable::Group&)>& visit) {
  const std::string_view text = value ? value : "";
  if (text.empty()) return false;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(kGroupSeparator, start);
    const std::string_view group =
        text.substr(start, end == std::string_view::npos ? end : end - start);
    if (visit(SplitNames(std::string(group).c_str(), kNameSeparator))) return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

DeviceTable::DeviceTable(const char* value) {
  AnyDeviceGroup(value, [this](const Group& group) {
    groups_.push_back(group);
    Index(groups_.size() - 1);
    return false;
  });
  const auto missing = [](const Group& group, std::size_t position) {
    return group.size() <= position || group[position].empty();
  };
  namedGroups_ =
      static_cast<std::size_t>(std::find_if(groups_.begin(), groups_.end(),
                                            [&](const Group& group) { return missing(group, 0); }) -
                               groups_.begin());
  pairedGroups_ = static_cast<std::size_t>(
      std::find_if(groups_.begin(), groups_.end(),
                   [&](const Group& group) { return missing(group, 0) || missing(group, 1); }) -
      groups_.begin());
}

void DeviceTable::Index(std::size_t group) {
  const Group& names = groups_[group];
  for (const std::string& name : names) {
    if (name.empty()) continue;
    std::vector<std::size_t>& groups = byName_[Lowered(name)];
    if (groups.empty() || groups.back() != group) groups.push_back(group);
  }
  if (!names.empty()) byDevice_[DeviceKey(names[0].c_str())].push_back(group);
}

namespace {

// The shared tables by value text, and by the address of the value last seen with that text: a
// key store hands out the same characters on every lookup, so the address usually finds the
// table without hashing the whole value (a definition's table may list a thousand devices).
struct DeviceTables {
  struct Known {
    std::string text;
    std::shared_ptr<const DeviceTable> table;
  };
  Port_ThrMutex mutex;
  std::unordered_map<std::string, std::shared_ptr<const DeviceTable>> byText;
  std::unordered_map<const char*, Known> byAddress;
};

}  // namespace

std::shared_ptr<const DeviceTable> SharedDeviceTable(const char* value) {
  static DeviceTables tables;
  const std::string_view text = value ? value : "";
  Port::ThrGuard<Port_ThrMutex> guard(tables.mutex);
  DeviceTables::Known& known = tables.byAddress[value];
  // The address alone proves nothing (the characters may have been freed and reused): the text
  // must be the same too.
  if (known.table && known.text == text) return known.table;
  std::shared_ptr<const DeviceTable>& table = tables.byText[std::string(text)];
  if (!table) table = std::make_shared<const DeviceTable>(std::string(text).c_str());
  known = {std::string(text), table};
  return table;
}

std::string DeviceTable::DeviceKey(const char* name) {
  const DeviceMainNumber number = GetDeviceMainNumber(name);
  // Made for every device looked up: built in place, in one allocation at most.
  std::string key = std::to_string(number.value);
  key += ':';
  const std::size_t tail = key.size();
  key += name + number.start;
  Port::strlwr(key.data() + tail);
  return key;
}

const std::string& DeviceTable::DeviceName(std::size_t index) const {
  if (index >= groups_.size() || groups_[index].empty()) return EmptyName();
  return groups_[index][0];
}

std::size_t DeviceTable::FindGroupWithName(const char* name) const {
  if (!name || !*name) return kNone;
  const auto found = byName_.find(Lowered(name));
  return found == byName_.end() ? kNone : found->second.front();
}

const std::vector<std::size_t>& DeviceTable::GroupsWithName(const char* name) const {
  static const std::vector<std::size_t> none;
  if (!name || !*name) return none;
  const auto found = byName_.find(Lowered(name));
  return found == byName_.end() ? none : found->second;
}

std::size_t DeviceTable::FindGroupOfDevice(const char* name, std::size_t end) const {
  if (!name) return kNone;
  const auto candidates = byDevice_.find(DeviceKey(name));
  if (candidates == byDevice_.end()) return kNone;
  for (const std::size_t group : candidates->second) {
    if (group >= end) break;
    if (CompareDeviceNames(groups_[group][0].c_str(), name) == 0) return group;
  }
  return kNone;
}

bool TestDeviceMode() {
  static Port_ThrMutex mutex;
  static std::atomic<bool> known{false};
  static bool on = false;
  if (known.load(std::memory_order_acquire)) return on;
  Port::ThrGuard<Port_ThrMutex> guard(mutex);
  if (!known.load(std::memory_order_relaxed)) {
    // The switch's name is kept enciphered so that it cannot be found by looking through the
    // binary.
    char variable[] = "!|0%t$%0st'xrt$";
    on = Port_Env::GetEnv(UT_STR::Decode(variable)) != nullptr;
    known.store(true, std::memory_order_release);
  }
  return on;
}

namespace {

using CompiledPattern = boost::shared_ptr<const boost::regex>;

// Compiled patterns by their text; a pattern that does not compile is kept as null.
class PatternCache {
 public:
  bool MatchWhole(const std::string& pattern, const std::string& text, std::string& group1) {
    const CompiledPattern compiled = Get(pattern);
    if (!compiled) return false;
    // Boost.Regex passes its matching memory from thread to thread through a cache whose
    // synchronisation lives in the compiled library, out of the thread checker's sight. Matching
    // under a lock keeps every hand-over visible; a device name is matched in microseconds.
    Port::ThrGuard<Port_ThrMutex> guard(matchMutex_);
    return MatchCompiled(*compiled, pattern, text, group1);
  }

 private:
  // Compiled outside the lock: two threads that miss together both compile, the first stored
  // serves everyone.
  CompiledPattern Get(const std::string& pattern) {
    return patterns_.findOrMake(pattern, [&pattern] { return Compile(pattern); });
  }

  static CompiledPattern Compile(const std::string& pattern) {
    try {
      return boost::make_shared<const boost::regex>(pattern, boost::regex::perl);
    } catch (const boost::regex_error& error) {
      Port_MsgManData::debugStub("Pattern <%s> does not compile: %s\n", pattern.c_str(),
                                 error.what());
      return CompiledPattern();
    }
  }

  static bool MatchCompiled(const boost::regex& compiled, const std::string& pattern,
                            const std::string& text, std::string& group1) {
    boost::smatch match;
    try {
      if (!boost::regex_match(text, match, compiled)) return false;
    } catch (const std::runtime_error& error) {
      // A pattern too complex for the text is no match rather than a failure of the caller.
      Port_MsgManData::debugStub("Pattern <%s> gave up on <%s>: %s\n", pattern.c_str(),
                                 text.c_str(), error.what());
      return false;
    }
    group1 = match.size() > 1 && match[1].matched ? match[1].str() : std::string();
    return true;
  }

  Port_ThrMutex matchMutex_;
  PersonalityModule::LockedMap<std::string, CompiledPattern> patterns_;
};

PatternCache& Patterns() {
  static PatternCache cache;
  return cache;
}

}  // namespace

std::string DeviceExpression(const std::string& format) {
  if (!format.empty() && format[0] == '#') return format.substr(1);
  std::string expression = "^x?";
  std::size_t i = !format.empty() && format[0] == 'x' ? 1 : 0;
  if (i < format.size() && format[i] == 'c') {
    expression += "c?";
    ++i;
  }
  for (; i < format.size(); ++i) {
    if (format[i] != '_') {
      expression += format[i];
    } else if (i + 1 == format.size() || format[i + 1] != '_') {
      expression += "[0-9]+";
    }
  }
  return expression;
}

bool MatchWholeName(const std::string& pattern, const std::string& text, std::string& group1) {
  return Patterns().MatchWhole(pattern, text, group1);
}

}  // namespace PersonalityModule
