// Part-name parsing against the bundled sample installation (the build tree's copy): the input is
// one part name (cut at the first line end or NUL byte, at most 256 bytes).
//
// Invariants: the depth and the error status lie between 0 and 4; every level the part holds is
// a valid name of its architecture at that level; the name in upper case parses to the same part;
// a part parsed to its speed without an error, whose package its device lists, composes a name
// that parses back to the same part. (A configuration memory takes any package name; one that
// starts with a digit runs into the device's digits when composed, which no parser can undo.)
// The three-string form (architecture, part, expected speed) binds only valid levels too.
#include <cctype>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "pmlib/pmpic.h"
#include "pmport/port_path.h"

namespace {

using pmfuzz::Check;

constexpr std::size_t kMaxName = 256;

std::string Text(const char* text) { return text ? text : ""; }

std::string Owned(char* text) {
  const std::unique_ptr<char[]> owner(text);
  return Text(text);
}

// What a parse bound: architecture, device, package and speed, with the depth.
struct Bound {
  int depth;
  std::string arch, device, package, speed;
  bool operator==(const Bound& other) const {
    return depth == other.depth && arch == other.arch && device == other.device &&
           package == other.package && speed == other.speed;
  }
};

Bound BoundOf(const PM_PIC& part) {
  return {part.get_depth(), Text(part.get_arch()), Text(part.get_device()),
          Text(part.get_package()), Text(part.get_speed())};
}

std::string Describe(const std::string& name, const Bound& bound) {
  return name + " -> " + std::to_string(bound.depth) + " " + bound.arch + "/" + bound.device + "/" +
         bound.package + "/" + bound.speed;
}

// Every level the part holds is valid for its architecture.
void CheckLevels(const PM_PIC& part, const std::string& name) {
  const Bound bound = BoundOf(part);
  Check(bound.depth >= 0 && bound.depth <= 4, "depth out of range", Describe(name, bound));
  if (bound.depth >= 2) {
    Check(part.isvaliddevicename(bound.device.c_str(), 1) != 0, "invalid device bound",
          Describe(name, bound));
  }
  if (bound.depth >= 3 && !bound.package.empty()) {
    Check(part.isvalidpackagename(bound.package.c_str(), 1) != 0, "invalid package bound",
          Describe(name, bound));
  }
  if (bound.depth >= 4 && !bound.speed.empty()) {
    Check(part.isvalidspeedname(bound.speed.c_str(), 1) != 0, "invalid speed bound",
          Describe(name, bound));
  }
}

// Whether the part's package is one its device lists, rather than one merely accepted.
bool PackageIsListed(const PM_PIC& part) {
  PM_PIC device(part.get_arch(), 1, PM_BINDING_SUPPORTED_ONLY);
  device.set_device(part.get_device());
  device.make_list(nullptr, nullptr, 0);
  const std::string package = Text(part.get_package());
  return std::find(device.begin(false), device.end(false), package) != device.end(false);
}

char ErrorStatus(const PM_PIC& part) {
  const char* rejected = nullptr;
  return part.geterrorstatus(rejected);
}

void CheckPartName(const std::string& name) {
  const PM_PIC part(name.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
  CheckLevels(part, name);
  const Bound bound = BoundOf(part);
  const char status = ErrorStatus(part);
  Check(status >= 0 && status <= 4, "error status out of range", name);

  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const PM_PIC shouted(upper.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
  Check(BoundOf(shouted) == bound, "upper case parses to another part",
        Describe(name, bound) + " | " + Describe(upper, BoundOf(shouted)));

  if (bound.depth == 4 && status == 0 && PackageIsListed(part)) {
    const std::string composed = Owned(part.get_partname());
    const PM_PIC again(composed.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
    Check(BoundOf(again) == bound, "the composed name parses to another part",
          Describe(name, bound) + " | " + Describe(composed, BoundOf(again)));
  }
}

void CheckThreeStrings(const std::string& name) {
  for (const char* arch : {"alpha", "delta", "Korvan:gamma"}) {
    const PM_PIC part(arch, name.c_str(), "-4");
    CheckLevels(part, name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Port::KorvanPath::Set({PMFUZZ_SAMPLE_DIR});
  pmfuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.substr(0, name.find_first_of(std::string("\n\0", 2)));
  if (name.size() > kMaxName) return 0;
  CheckPartName(name);
  CheckThreeStrings(name);
  return 0;
}
