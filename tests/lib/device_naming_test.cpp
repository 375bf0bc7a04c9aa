// Device naming: external and internal names, test devices, subfamilies, ranges, databook names
// and the speed flags.
#include <thread>
#include <tuple>

#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;
using validationtest::Part;
using Texts = std::vector<std::string>;

namespace {

// xcab80e has no internal name: the first-internal-name lookup stops there, the internal-names
// list goes on to xcab90e.
const char* const kDevices =
    "DEVICE_INTERNAL = xcab12e, ab12e :xcab40e,ab40e,ab40e_alt:xcab80e:xcab90e,ab90e\n"
    "TEST_DEVICE_INTERNAL = xcab99e,ab99e_t:xcab80e,ab80e_t\n";

const char kNoName[] = "NO_INTERNAL_DEVICE_NAME";

std::string External(const PM_PIC& part, const char* name) {
  const std::unique_ptr<char[]> external(part.find_external_device(name));
  return external ? std::string(external.get()) : std::string("-");
}

Texts InternalNames(const PM_PIC& part) {
  Texts names;
  for (int i = 0; i < part.get_num_idnames(); ++i) names.push_back(part.get_internal_device(i));
  return names;
}

class DeviceNamingTest : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("PM_TEST_DEVICES");
    root_.Module("alpha", Definition("alpha", "", kDevices));
    spinetest::Install({&root_});
  }

  Root root_;
};

}  // namespace

TEST_F(DeviceNamingTest, ExternalAndInternalNamesOfAGroup) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  // Spaces around names do not count; test devices are off.
  const std::pair<const char*, const char*> externals[] = {
      {"ab40e_alt", "xcab40e"}, {"AB40E", "xcab40e"}, {"xcab12e", "xcab12e"},
      {"ab12e", "xcab12e"},     {"ab12", "-"},        {"", "-"},
      {"ab99e_t", "-"}};
  for (const auto& [name, external] : externals) EXPECT_EQ(external, External(*part, name)) << name;
  // The first internal name by device comparison; upper-case vendor letters are part of the name,
  // and the lookup stops at the group without internal name.
  const std::pair<const char*, const char*> firstInternals[] = {
      {"ab12e", "ab12e"},   {"cab40e", "ab40e"},  {"xcab40e", "ab40e"},
      {"XCAB40E", kNoName}, {"xcab90e", kNoName}, {"xcab99e", kNoName},
  };
  for (const auto& [name, internal] : firstInternals) {
    EXPECT_EQ(internal, part->find_internal_device(name).str()) << name;
  }
  part->set_device("ab40e_alt");
  EXPECT_EQ(nullptr, part->get_internal_device(2));
  part->set_device("xcab90e");  // past the group without internal name
  EXPECT_EQ(Texts{"ab90e"}, InternalNames(*part));
  pmtest::MessageCapture capture;
  part->set_device("xcab80e");
  EXPECT_EQ(Texts{kNoName}, InternalNames(*part));
  EXPECT_EQ(Texts{"Device xcab80e has NO internal names.\n"}, capture.texts(MsgKind::Debug));
  EXPECT_TRUE(capture.of(MsgKind::Warning).empty());
}

// Test devices count when PM_TEST_DEVICES is set before the first library call: the mode is read
// once per process.
TEST_F(DeviceNamingTest, TestDevicesCountAfterTheDeviceTable) {
  setenv("PM_TEST_DEVICES", "", 1);
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  EXPECT_EQ("xcab99e", External(*part, "AB99E_T"));
  EXPECT_EQ("ab99e_t", part->find_internal_device("xcab99e").str());
  // A device without internal name in the device table takes the test table's.
  part->set_device("xcab80e");
  EXPECT_EQ(Texts{"ab80e_t"}, InternalNames(*part));
  EXPECT_EQ("xcab40e", External(*part, "ab40e"));
}

TEST_F(DeviceNamingTest, WithoutDeviceTableOrKeyStoreNamesAreTakenAsTheyAre) {
  root_.Module("plain", Definition("plain"));
  const std::unique_ptr<PM_PIC> plain = Part("plain");
  EXPECT_EQ("anything", External(*plain, "anything"));
  plain->set_device("XcAb7");
  EXPECT_EQ("plain/xcab7/-/- @2", validationtest::Levels(*plain));
  EXPECT_EQ(Texts{"xcab7"}, InternalNames(*plain));

  const std::unique_ptr<PM_PIC> part = Part(nullptr);
  pmtest::MessageCapture capture;
  part->set_device("XCAB12E");
  EXPECT_EQ("-/xcab12e/-/- @2", validationtest::Levels(*part));
  EXPECT_EQ(Texts{kNoName}, InternalNames(*part));
  EXPECT_EQ(kNoName, part->find_internal_device("xcab12e").str());
  EXPECT_EQ("NoExternalName NoInternalNames NoInternalName",
            validationtest::MessageNames(capture.messages()));
}

TEST_F(DeviceNamingTest, SubfamilyFromTheWholeDeviceName) {
  const std::string subfamilies =
      "DEVICE_INTERNAL = xcab12e,ab12e:xcab40e,ab40e:xcab7,ab7\n"
      "SUBFAM_SPECS = 12,40,40\nSUBFAM_NAMES = lite,mid,mid2\n";
  root_.Module("whole", Definition("whole", "", subfamilies + "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"));
  root_.Module("partial", Definition("partial", "", subfamilies + "SUBFAM_FORMAT = ab([0-9]+)\n"));
  root_.Module("broken", Definition("broken", "", subfamilies + "SUBFAM_FORMAT = ab([0-9\n"));
  root_.Module("nospecs", Definition("nospecs", "", "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"));

  // Null: no device yet. The last equal specifier wins. Each row: "specifier/subfamily".
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"whole", nullptr, "/"},     {"whole", "ab12e", "12/lite"}, {"whole", "xcab40e", "40/mid2"},
      {"whole", "xcab7", "/"},     {"partial", "xcab12e", "/"},   {"broken", "xcab12e", "/"},
      {"nospecs", "xcab12e", "/"},
  };
  for (const auto& [arch, device, expected] : cases) {
    const std::unique_ptr<PM_PIC> part = validationtest::PartAt(arch, device);
    EXPECT_EQ(expected, part->GetSubFamilySpecifier().str() + "/" + part->GetSubFamily().str())
        << arch << " " << (device ? device : "no device");
  }
}

// A speed's letter, in any case, names its range; any other speed is in the first range. The
// speed "-0P", in any letter case, stays out of the databook name.
TEST_F(DeviceNamingTest, RangesAndTheDatabookNameOfTheLevelsSet) {
  root_.Module("ranged", Definition("ranged", "", "RANGES = C, I\n"));
  root_.Module("plain", Definition("plain"));
  std::vector<Port::String> ranges = {"X"};
  EXPECT_TRUE(Part("ranged")->getsupportedranges(ranges));
  EXPECT_FALSE(Part("plain")->getsupportedranges(ranges));  // and adds nothing
  EXPECT_EQ((std::vector<Port::String>{"X", "C", "I"}), ranges);
  // Each row: the levels set (null: not set), then the range and the databook name.
  const std::tuple<const char*, const char*, const char*, const char*, const char*> rows[] = {
      {"ranged", "xcab12e", nullptr, "-4i", "I xcab12e-4i"},
      {"ranged", "xcab12e", nullptr, "-4I", "I xcab12e-4I"},
      {"ranged", "xcab12e", nullptr, "-4", "C xcab12e-4"},
      {"ranged", "xcab12e", nullptr, "-4q", "C xcab12e-4q"},
      {"ranged", "xcab12e", nullptr, "", "C xcab12e"},
      {"plain", "xcab12e", nullptr, "-4i", " xcab12e-4i"},
      {"alpha", nullptr, nullptr, nullptr, " "},
      {"alpha", "ab12e", nullptr, nullptr, " xcab12e"},
      {"alpha", "ab12e", "tq144", "-3", " xcab12e-3tq144"},
      {"alpha", "ab12e", "tq144", "-0p", " xcab12etq144"},
  };
  for (const auto& [arch, device, package, speed, expected] : rows) {
    const auto part = validationtest::PartAt(arch, device, package, speed);
    EXPECT_EQ(expected, part->get_range().str() + " " + part->getDatabookName().str())
        << validationtest::Levels(*part);
  }
}

// Every name of a large table looked up once: a lookup that scanned the table would make this
// hundreds of millions of comparisons.
TEST_F(DeviceNamingTest, LookupsInALargeTableDoNotScanIt) {
  constexpr int kDevices = 20000;
  std::string table = "DEVICE_INTERNAL = ";
  for (int i = 0; i < kDevices; ++i) {
    const std::string internal = "ab" + std::to_string(1000 + i) + "e";
    table += (i ? ":xc" : "xc") + internal + "," + internal;
  }
  root_.Module("big", Definition("big", "", table + "\n"));
  const std::unique_ptr<PM_PIC> part = Part("big");
  for (int i = 0; i < kDevices; ++i) {
    const std::string internal = "ab" + std::to_string(1000 + i) + "e";
    const std::string external = External(*part, internal.c_str());
    ASSERT_EQ("xc" + internal + " " + internal,
              external + " " + part->find_internal_device(external.c_str()).str());
  }
  part->set_device("ab20999e");
  EXPECT_EQ(Texts{"ab20999e"}, InternalNames(*part));
}

// Parts are bound to their architecture on one thread and then used each by a thread of its own:
// the first use of test-device mode and of the subfamily pattern happen on all of them at once.
TEST_F(DeviceNamingTest, PartsOnSeveralThreadsShareTheModeAndThePatterns) {
  setenv("PM_TEST_DEVICES", "", 1);
  root_.Module(
      "sub", Definition("sub", "",
                        std::string(kDevices) + "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"
                                                "SUBFAM_SPECS = 12,40\nSUBFAM_NAMES = lite,mid\n"));
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<PM_PIC>> parts;
  for (int i = 0; i < kThreads; ++i) parts.push_back(Part("sub"));
  Texts answers(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      parts[i]->set_device(i % 2 ? "ab40e" : "ab12e");
      answers[i] = parts[i]->GetSubFamily().str() + " " + External(*parts[i], "ab99e_t");
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(i % 2 ? "mid xcab99e" : "lite xcab99e", answers[i]);
}
