// Part utilities: device-name comparison.
#include "baspmpicutil.h"

#include <climits>
#include <string>

#include <pmport/port_string.h>

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
