// The synthetic installation. Architecture i is "sy" + a three-letter tag; its devices are
// "xc<tag><number>d" with the internal names "<tag><number>d" (which the data files are named
// after), "<tag><number>d_es" and "<tag><number>d_r2". Architectures form friend chains of
// `friendChain`, each naming the previous one; the first of a chain names itself, or with
// `friendLoop` the last of its chain, which closes the chain into a loop.
#include "synth_installation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "pmport/ut_ifile.h"

namespace synth {
namespace {

constexpr const char* kPackagePrefixes[] = {"tq", "pq", "fg", "bg", "cs", "vq", "ff", "sf"};

std::string Tag(int arch) {
  std::string tag(3, 'a');
  for (int i = 2; i >= 0; --i) {
    tag[static_cast<std::size_t>(i)] = static_cast<char>('a' + arch % 26);
    arch /= 26;
  }
  return tag;
}

std::string DeviceNumber(int device) { return std::to_string(10 + device); }

int FriendOf(int arch, const Shape& shape) {
  if (shape.friendChain <= 1) return arch;
  if (arch % shape.friendChain != 0) return arch - 1;
  if (!shape.friendLoop) return arch;
  const int last = std::min(arch + shape.friendChain, shape.architectures) - 1;
  return last;
}

bool MakeFolders(const std::string& path, std::string& error) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot create " + folder + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

bool WriteSegments(const std::string& path, const std::vector<std::string>& names, int hiddenFrom,
                   std::string& error) {
  UT_SEGWRITER writer;
  for (std::size_t i = 0; i < names.size(); ++i) {
    writer.add(names[i], static_cast<int>(i) >= hiddenFrom ? 1 : 0, std::string());
  }
  if (writer.write(path.c_str())) return true;
  error = writer.geterror();
  return false;
}

std::string DefinitionText(int arch, const Shape& shape) {
  const std::string name = ArchitectureName(arch);
  std::string text;
  text.reserve(static_cast<std::size_t>(shape.paddingKeys) * 64 + 4096);
  text += "# " + name + ": a synthetic FPGA architecture\n";
  text += "ARCH_NAME        = " + name + "\n";
  text += "ARCH_FRIEND      = " + ArchitectureName(FriendOf(arch, shape)) + "\n";
  text += "ARCH_TYPE        = FPGA\n";
  text += "VENDOR           = Synth\n";
  text += "FAMILY           = " + name + "\n";
  text += "SUPPORT_MODE     = PHYSICAL\n";
  text += "BASE_MODE        = FALSE\n";
  text += "PARTNAMECHAR     = x\n";
  text += "PMPREFIX         = SY\n";
  text += "RANGES           = C,I\n";
  text += "DEVICE_FORMAT    = xc" + Tag(arch) + "_d\n";
  text += "SPEED_FORMAT     = [0-9]+[iq]?\n";
  // One device a line, as hand-written definitions spread long lists.
  std::string devices = DeviceInternalValue(arch, shape.devices);
  for (std::size_t colon = devices.find(':'); colon != std::string::npos;
       colon = devices.find(':', colon + 5)) {
    devices.replace(colon, 1, ":\\\n    ");
  }
  text += "DEVICE_INTERNAL  = " + devices + "\n";
  char line[160];
  for (int key = 0; key < shape.paddingKeys; ++key) {
    std::snprintf(line, sizeof line, "PAD_KEY_%05d    = %s padding %d: first field, second field\n",
                  key, name.c_str(), key);
    text += line;
  }
  return text;
}

bool GenerateArchitecture(const std::string& root, int arch, const Shape& shape,
                          std::string& error) {
  const std::string name = ArchitectureName(arch);
  const std::string data = root + "/" + name + "/data/";
  if (!MakeFolders(root + "/" + name + "/data", error)) return false;
  if (!WriteFile(data + name + ".acd", DefinitionText(arch, shape), error)) return false;
  std::vector<std::string> packages;
  for (int p = 0; p < shape.packages; ++p) packages.push_back(PackageName(p));
  std::vector<std::string> speeds;
  for (int s = 0; s < shape.speeds; ++s) speeds.push_back(SpeedName(s));
  speeds.push_back("-0P");  // flagged, never listed
  for (int device = 0; device < shape.devices; ++device) {
    const std::string file = data + InternalName(arch, device, 0);
    if (!WriteFile(file + ".nph", "# device file of " + DeviceName(arch, device) + "\n", error) ||
        !WriteSegments(file + ".pkg", packages, shape.packages, error) ||
        !WriteSegments(file + ".spd", speeds, static_cast<int>(speeds.size()), error)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string ArchitectureName(int arch) { return "sy" + Tag(arch); }

std::string DeviceName(int arch, int device) {
  return "xc" + Tag(arch) + DeviceNumber(device) + "d";
}

std::string InternalName(int arch, int device, int n) {
  static constexpr const char* kSuffixes[] = {"", "_es", "_r2"};
  return Tag(arch) + DeviceNumber(device) + "d" + kSuffixes[n % 3];
}

std::string PackageName(int package) {
  return kPackagePrefixes[package % 8] +
         std::to_string(100 + 16 * (package / 8) + 44 * (package % 8));
}

std::string SpeedName(int speed) { return "-" + std::to_string(speed + 1); }

std::string PartName(int arch, int device, int package, int speed) {
  return DeviceName(arch, device) + PackageName(package) + SpeedName(speed);
}

bool InPatternFile(int arch) { return arch % 2 == 0; }

std::string DeviceInternalValue(int arch, int devices) {
  std::string value;
  for (int device = 0; device < devices; ++device) {
    if (device > 0) value += ':';
    value += DeviceName(arch, device) + "," + InternalName(arch, device, 0) + "," +
             InternalName(arch, device, 1);
  }
  return value;
}

std::string BigDefinition(const std::string& arch, int keys, int valueLength) {
  std::string text = "ARCH_NAME = " + arch + "\nARCH_FRIEND = " + arch + "\n";
  text.reserve(static_cast<std::size_t>(keys) * static_cast<std::size_t>(valueLength + 24));
  std::string value;
  for (int key = 0; key < keys; ++key) {
    value = "value " + std::to_string(key) + ":";
    // Fields and subfields, as definition values carry them.
    while (value.size() < static_cast<std::size_t>(valueLength)) {
      value += value.size() % 3 == 0 ? " field," : " sub_" + std::to_string(value.size()) + ":";
    }
    value.resize(static_cast<std::size_t>(valueLength));
    char name[32];
    std::snprintf(name, sizeof name, "KEY_%05d", key);
    text += name;
    text += " = ";
    text += value;
    text += '\n';
  }
  return text;
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error)) {
    return false;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (file) return true;
  error = "cannot write " + path;
  return false;
}

bool Generate(const std::string& root, const Shape& shape, std::string& error) {
  if (!MakeFolders(root + "/data", error)) return false;
  std::string patterns = "# architectures found without searching the installation\n";
  for (int arch = 0; arch < shape.architectures; ++arch) {
    if (!GenerateArchitecture(root, arch, shape, error)) return false;
    if (InPatternFile(arch)) {
      patterns += ArchitectureName(arch) + "=^x?c?" + Tag(arch) + "[0-9]+d\n";
    }
  }
  const std::string counts =
      std::to_string(shape.architectures) + " " + std::to_string(shape.devices) + " " +
      std::to_string(shape.packages) + " " + std::to_string(shape.speeds) + " " +
      std::to_string(shape.paddingKeys) + " " + std::to_string(shape.friendChain) + " " +
      std::to_string(shape.friendLoop) + "\n";
  return WriteFile(root + "/data/shape", counts, error) &&
         WriteFile(root + "/data/patternfile", patterns, error);
}

bool ReadShape(const std::string& root, Shape& shape) {
  std::ifstream file(root + "/data/shape");
  Shape read;
  if (!(file >> read.architectures >> read.devices >> read.packages >> read.speeds >>
        read.paddingKeys >> read.friendChain)) {
    return false;
  }
  file >> read.friendLoop;  // absent from the shapes written before loops existed
  shape = read;
  return true;
}

}  // namespace synth
