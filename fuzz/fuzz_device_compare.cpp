// The device-name comparison on arbitrary names: the input holds up to three names separated by
// line ends.
//
// Invariants: a name equals itself; swapping the names flips the sign; equal results agree with
// what the comparison calls the same device (equal main numbers and, ignoring case, equal text
// from the main number on); names without digits are equal exactly when they are equal ignoring
// case; the vendor letters "xc" in front of a name with digits do not change the device.
#include <cstdint>
#include <string>
#include <vector>

#include "baspmpicutil.h"
#include "fuzz_support.h"
#include "pmport/port_string.h"

namespace {

using PersonalityModule::CompareDeviceNames;
using PersonalityModule::GetDeviceMainNumber;
using pmfuzz::Check;

int Sign(int value) { return (value > 0) - (value < 0); }

bool HasDigit(const std::string& name) {
  return name.find_first_of("0123456789") != std::string::npos;
}

void CheckPair(const std::string& a, const std::string& b) {
  const int ab = CompareDeviceNames(a.c_str(), b.c_str());
  Check(Sign(ab) == -Sign(CompareDeviceNames(b.c_str(), a.c_str())),
        "the comparison is not antisymmetric", a + "|" + b);
  const auto numberA = GetDeviceMainNumber(a.c_str());
  const auto numberB = GetDeviceMainNumber(b.c_str());
  if (ab == 0) {
    Check(numberA.value == numberB.value, "names with other main numbers are equal", a + "|" + b);
    Check(UT_STR::ICompare(a.c_str() + numberA.start, b.c_str() + numberB.start) == 0,
          "names with other texts after the main number are equal", a + "|" + b);
  }
  if (!HasDigit(a) && !HasDigit(b)) {
    Check((ab == 0) == (UT_STR::ICompare(a.c_str(), b.c_str()) == 0), "names without digits",
          a + "|" + b);
  }
}

void CheckName(const std::string& name) {
  Check(CompareDeviceNames(name.c_str(), name.c_str()) == 0, "a name differs from itself", name);
  const auto number = GetDeviceMainNumber(name.c_str());
  Check(number.start <= name.size(), "the main number starts past the name", name);
  if (HasDigit(name) && name[0] != 'x' && name[0] != 'c') {
    Check(CompareDeviceNames(("xc" + name).c_str(), name.c_str()) == 0,
          "the vendor letters change the device", name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> names =
      pmfuzz::SplitAt(std::string(reinterpret_cast<const char*>(data), size), '\n');
  names.resize(3);
  for (std::string& name : names) name = name.c_str();  // a C name ends at its first NUL
  for (const std::string& name : names) CheckName(name);
  CheckPair(names[0], names[1]);
  CheckPair(names[1], names[2]);
  CheckPair(names[0], names[2]);
  Check(CompareDeviceNames(nullptr, "") == 0 && CompareDeviceNames(names[0].c_str(), nullptr) ==
                                                    CompareDeviceNames(names[0].c_str(), ""),
        "a null name is not the empty name");
  return 0;
}
