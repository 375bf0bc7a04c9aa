// Device naming: external and internal names, test devices, subfamilies, ranges, databook names
// and the speed flags.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "baspmpic.h"
#include "pmlib/pmpic.h"
#include "pmtest.h"
#include "spine_fixture.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

// xcab80e has no internal name: the first-internal-name lookup stops there, the internal-names
// list goes on to xcab90e.
const char* const kDevices =
    "DEVICE_INTERNAL = xcab12e, ab12e :xcab40e,ab40e,ab40e_alt:xcab80e:xcab90e,ab90e\n"
    "TEST_DEVICE_INTERNAL = xcab99e,ab99e_t:xcab80e,ab80e_t\n";

std::unique_ptr<PM_PIC> Part(const char* arch) {
  return PMPicImp::NewPart(arch, PM_BINDING_SUPPORTED_ONLY);
}

std::string External(const PM_PIC& part, const char* name) {
  const std::unique_ptr<char[]> external(part.find_external_device(name));
  return external ? std::string(external.get()) : std::string("<null>");
}

std::vector<std::string> InternalNames(const PM_PIC& part) {
  std::vector<std::string> names;
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

class TestDeviceModeTest : public DeviceNamingTest {
 protected:
  // Before the first library call: the mode is read once per process.
  void SetUp() override {
    DeviceNamingTest::SetUp();
    setenv("PM_TEST_DEVICES", "", 1);
  }
};

}  // namespace

TEST_F(DeviceNamingTest, ExternalNameOfAnyNameOfAGroup) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  EXPECT_EQ("xcab40e", External(*part, "ab40e_alt"));
  EXPECT_EQ("xcab40e", External(*part, "AB40E"));
  EXPECT_EQ("xcab12e", External(*part, "xcab12e"));
  EXPECT_EQ("xcab12e", External(*part, "ab12e"));  // spaces around names do not count
  EXPECT_EQ("<null>", External(*part, "ab12"));
  EXPECT_EQ("<null>", External(*part, ""));
  EXPECT_EQ("<null>", External(*part, "ab99e_t"));  // a test device, test devices off
}

TEST(DeviceNaming, WithoutDeviceTableEveryNameIsItsOwnDevice) {
  Root root;
  root.Module("plain", Definition("plain"));
  spinetest::Install({&root});
  const std::unique_ptr<PM_PIC> part = Part("plain");
  EXPECT_EQ("anything", External(*part, "anything"));
  ASSERT_TRUE(part->set_device("XcAb7"));
  EXPECT_STREQ("xcab7", part->get_device());
  EXPECT_EQ(std::vector<std::string>{"xcab7"}, InternalNames(*part));
}

TEST_F(DeviceNamingTest, InternalNamesOfTheDevice) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("ab40e_alt");
  EXPECT_EQ((std::vector<std::string>{"ab40e", "ab40e_alt"}), InternalNames(*part));
  EXPECT_EQ(nullptr, part->get_internal_device(2));

  part->set_device("xcab90e");  // past the group without internal name
  EXPECT_EQ(std::vector<std::string>{"ab90e"}, InternalNames(*part));

  pmtest::MessageCapture capture;
  part->set_device("xcab80e");
  EXPECT_EQ(std::vector<std::string>{"NO_INTERNAL_DEVICE_NAME"}, InternalNames(*part));
  EXPECT_EQ(std::vector<std::string>{"Device xcab80e has NO internal names.\n"},
            capture.texts(MsgKind::Debug));
  EXPECT_TRUE(capture.of(MsgKind::Warning).empty());
}

TEST_F(DeviceNamingTest, FirstInternalNameByDeviceComparison) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  EXPECT_EQ("ab12e", part->find_internal_device("ab12e").str());
  EXPECT_EQ("ab40e", part->find_internal_device("cab40e").str());
  // Upper-case vendor letters are part of the name.
  EXPECT_EQ("NO_INTERNAL_DEVICE_NAME", part->find_internal_device("XCAB40E").str());
  // The lookup stops at the group without internal name.
  EXPECT_EQ("NO_INTERNAL_DEVICE_NAME", part->find_internal_device("xcab90e").str());
  EXPECT_EQ("NO_INTERNAL_DEVICE_NAME", part->find_internal_device("xcab99e").str());
}

TEST_F(TestDeviceModeTest, TestDevicesCountAfterTheDeviceTable) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  EXPECT_EQ("xcab99e", External(*part, "AB99E_T"));
  EXPECT_EQ("ab99e_t", part->find_internal_device("xcab99e").str());
  // A device without internal name in the device table takes the test table's.
  part->set_device("xcab80e");
  EXPECT_EQ(std::vector<std::string>{"ab80e_t"}, InternalNames(*part));
  EXPECT_EQ("xcab40e", External(*part, "ab40e"));
}

TEST(DeviceNaming, WithoutKeyStoreNamesAreTakenAsTheyAre) {
  Root root;
  spinetest::Install({&root});
  const std::unique_ptr<PM_PIC> part = Part(nullptr);
  pmtest::MessageCapture capture;
  ASSERT_TRUE(part->set_device("XCAB12E"));
  EXPECT_STREQ("xcab12e", part->get_device());
  EXPECT_EQ(2, part->get_depth());
  EXPECT_EQ(std::vector<std::string>{"NO_INTERNAL_DEVICE_NAME"}, InternalNames(*part));
  EXPECT_EQ("NO_INTERNAL_DEVICE_NAME", part->find_internal_device("xcab12e").str());
  EXPECT_EQ((std::vector<std::string>{"Device XCAB12E has NO external name.\n",
                                      "Device xcab12e has NO internal names.\n",
                                      "Device xcab12e has NO internal name.\n"}),
            capture.texts(MsgKind::Warning));
}

TEST(DeviceNaming, SubfamilyFromTheWholeDeviceName) {
  Root root;
  const std::string subfamilies =
      "DEVICE_INTERNAL = xcab12e,ab12e:xcab40e,ab40e:xcab7,ab7\n"
      "SUBFAM_SPECS = 12,40,40\nSUBFAM_NAMES = lite,mid,mid2\n";
  root.Module("whole", Definition("whole", "", subfamilies + "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"));
  root.Module("partial", Definition("partial", "", subfamilies + "SUBFAM_FORMAT = ab([0-9]+)\n"));
  root.Module("broken", Definition("broken", "", subfamilies + "SUBFAM_FORMAT = ab([0-9\n"));
  root.Module("nospecs", Definition("nospecs", "", "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"));
  spinetest::Install({&root});

  const std::unique_ptr<PM_PIC> part = Part("whole");
  EXPECT_EQ("", part->GetSubFamilySpecifier().str());  // no device yet
  part->set_device("ab12e");
  EXPECT_EQ("12", part->GetSubFamilySpecifier().str());
  EXPECT_EQ("lite", part->GetSubFamily().str());
  part->set_device("xcab40e");
  EXPECT_EQ("mid2", part->GetSubFamily().str());  // the last equal specifier wins
  part->set_device("xcab7");
  EXPECT_EQ("", part->GetSubFamilySpecifier().str());
  EXPECT_EQ("", part->GetSubFamily().str());

  for (const char* arch : {"partial", "broken", "nospecs"}) {
    const std::unique_ptr<PM_PIC> other = Part(arch);
    other->set_device("xcab12e");
    EXPECT_EQ("", other->GetSubFamilySpecifier().str()) << arch;
    EXPECT_EQ("", other->GetSubFamily().str()) << arch;
  }
}

TEST(DeviceNaming, RangesAndTheRangeOfTheSpeed) {
  Root root;
  root.Module("ranged", Definition("ranged", "", "RANGES = C, I\n"));
  root.Module("plain", Definition("plain"));
  spinetest::Install({&root});

  const std::unique_ptr<PM_PIC> part = Part("ranged");
  std::vector<Port::String> ranges = {"X"};
  EXPECT_TRUE(part->getsupportedranges(ranges));
  EXPECT_EQ((std::vector<Port::String>{"X", "C", "I"}), ranges);
  EXPECT_EQ("C", part->get_range().str());
  part->set_device("xcab12e");
  const std::pair<const char*, const char*> speeds[] = {
      {"-4i", "I"}, {"-4I", "I"}, {"-4", "C"}, {"-4q", "C"}, {"", "C"}};
  for (const auto& [speed, range] : speeds) {
    part->set_speed(speed);
    EXPECT_EQ(range, part->get_range().str()) << speed;
  }

  const std::unique_ptr<PM_PIC> plain = Part("plain");
  std::vector<Port::String> none = {"X"};
  EXPECT_FALSE(plain->getsupportedranges(none));
  EXPECT_EQ(std::vector<Port::String>{"X"}, none);
  plain->set_device("xcab12e");
  plain->set_speed("-4i");
  EXPECT_EQ("", plain->get_range().str());
}

TEST_F(DeviceNamingTest, DatabookNameAndSpeedFlags) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_minspd(5);
  part->set_411spd(0);
  EXPECT_EQ(1, part->get_minspd());  // any non-zero value is stored as 1
  EXPECT_EQ(0, part->get_411spd());
  EXPECT_EQ("", part->getDatabookName().str());
  part->set_device("ab12e");
  EXPECT_EQ("xcab12e", part->getDatabookName().str());
  part->set_package("tq144");
  part->set_speed("-3");
  EXPECT_EQ("xcab12e-3tq144", part->getDatabookName().str());
  part->set_speed("-0p");
  EXPECT_EQ("xcab12etq144", part->getDatabookName().str());
}

// Every name of a large table looked up once: a lookup that scanned the table would make this
// hundreds of millions of comparisons.
TEST(DeviceNaming, LookupsInALargeTableDoNotScanIt) {
  constexpr int kDevices = 20000;
  std::string table = "DEVICE_INTERNAL = ";
  for (int i = 0; i < kDevices; ++i) {
    const std::string number = std::to_string(1000 + i);
    table += (i ? ":xcab" : "xcab") + number + "e,ab" + number + "e";
  }
  Root root;
  root.Module("big", Definition("big", "", table + "\n"));
  spinetest::Install({&root});
  const std::unique_ptr<PM_PIC> part = Part("big");
  for (int i = 0; i < kDevices; ++i) {
    const std::string number = std::to_string(1000 + i);
    const std::unique_ptr<char[]> external(part->find_external_device(("ab" + number + "e").c_str()));
    ASSERT_NE(nullptr, external) << number;
    ASSERT_EQ("xcab" + number + "e", std::string(external.get()));
    ASSERT_EQ("ab" + number + "e", part->find_internal_device(external.get()).str());
  }
  part->set_device("ab20999e");
  EXPECT_EQ(std::vector<std::string>{"ab20999e"}, InternalNames(*part));
}

// Parts are bound to their architecture on one thread and then used each by a thread of its own:
// the first use of test-device mode and of the subfamily pattern happen on all of them at once.
TEST_F(TestDeviceModeTest, PartsOnSeveralThreadsShareTheModeAndThePatterns) {
  root_.Module("sub", Definition("sub", "", std::string(kDevices) +
                                                "SUBFAM_FORMAT = x?c?ab([0-9]+)e\n"
                                                "SUBFAM_SPECS = 12,40\nSUBFAM_NAMES = lite,mid\n"));
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<PM_PIC>> parts;
  for (int i = 0; i < kThreads; ++i) parts.push_back(Part("sub"));
  std::vector<std::string> subfamilies(kThreads);
  std::vector<std::string> testDevices(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      parts[i]->set_device(i % 2 ? "ab40e" : "ab12e");
      subfamilies[i] = parts[i]->GetSubFamily().str();
      testDevices[i] = External(*parts[i], "ab99e_t");
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(i % 2 ? "mid" : "lite", subfamilies[i]);
    EXPECT_EQ("xcab99e", testDevices[i]);
  }
}
