// Parts: the set-architecture step, the level setters and clears, composed part names, copies,
// device data files found by internal name, and part key stores.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "baspmdevkey.h"
#include "baspmpic.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmpic.h"
#include "pmtest.h"
#include "spine_fixture.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

const char* const kAlphaKeys =
    "VENDOR = Korvan\nFAMILY = alpha\nSUPPORT_MODE = PHYSICAL\nPARTNAMECHAR = x\n"
    "PMPREFIX = AB\nARCH_TYPE = fpga\n"
    "DEVICE_INTERNAL = xcab12e,ab12e:xcab40e,ab40e,ab40e_alt\n";

std::unique_ptr<PM_PIC> Part(const char* arch) {
  return PMPicImp::NewPart(arch, PM_BINDING_SUPPORTED_ONLY);
}

// A composed name, freed here; "<null>" for none.
std::string Owned(char* text) {
  const std::unique_ptr<char[]> owner(text);
  return text ? std::string(text) : std::string("<null>");
}

class PicTest : public testing::Test {
 protected:
  void SetUp() override {
    root_.Module("alpha", Definition("alpha", "", kAlphaKeys));
    spinetest::Install({&root_});
  }

  Root root_;
};

}  // namespace

TEST_F(PicTest, ArchitectureStepTakesTheDefinitionsKeys) {
  pmtest::MessageCapture capture;
  const std::unique_ptr<PM_PIC> part = Part("ALPHA");
  EXPECT_STREQ("alpha", part->get_arch());
  EXPECT_EQ(1, part->get_depth());
  EXPECT_STREQ("Korvan", part->get_vendor());
  EXPECT_STREQ("alpha", part->get_family());
  EXPECT_STREQ("AB", part->get_pmprefix());
  EXPECT_EQ(nullptr, part->get_device());
  EXPECT_EQ(nullptr, part->get_speed());
  EXPECT_EQ(0, part->get_num_idnames());
  EXPECT_EQ("<null>", Owned(part->get_partname()));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(PicArchitecture, FamilyWarningOnlyForPhysicalModules) {
  Root root;
  root.Module("phys", Definition("phys", "", "SUPPORT_MODE = physical\n"));
  root.Module("logi", Definition("logi", "", "SUPPORT_MODE = LOGICAL\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  const std::unique_ptr<PM_PIC> physical = Part("phys");
  EXPECT_EQ(std::vector<std::string>{"No <FAMILY> in PM definition file for phys\n"},
            capture.texts(MsgKind::Warning));
  EXPECT_EQ(nullptr, physical->get_family());
  EXPECT_EQ(nullptr, physical->get_vendor());

  capture.clear();
  const std::unique_ptr<PM_PIC> logical = Part("logi");
  EXPECT_EQ(nullptr, logical->get_family());
  EXPECT_TRUE(capture.messages().empty());
}

TEST(PicArchitecture, ArchitectureTypeIsUpperCasedAndDefaultsToFpga) {
  Root root;
  root.Module("plain", Definition("plain"));
  root.Module("small", Definition("small", "", "ARCH_TYPE = cpld\n"));
  root.Module("odd", Definition("odd", "", "ARCH_TYPE = pld\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, imp.SetArchitecture("plain", true));
  EXPECT_EQ("FPGA", imp.architectureType());
  ASSERT_EQ(1, imp.SetArchitecture("small", true));
  EXPECT_EQ("CPLD", imp.architectureType());
  EXPECT_TRUE(capture.of(MsgKind::Fatal).empty());

  ASSERT_EQ(1, imp.SetArchitecture("odd", true));
  EXPECT_EQ("PLD", imp.architectureType());
  const std::vector<Port::Message> fatal = capture.of(MsgKind::Fatal);
  ASSERT_EQ(1u, fatal.size());
  EXPECT_EQ(101, fatal[0].code);
  EXPECT_EQ("Error in setting up validator\n", fatal[0].text);
  EXPECT_EQ(nullptr, imp.currentValidator());

  // The same type again asks for no validator.
  capture.clear();
  imp.SetArchType("Pld");
  EXPECT_TRUE(capture.messages().empty());
}

TEST_F(PicTest, NullArchitectureIsReportedOnlyWhenAsked) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  pmtest::MessageCapture capture;
  EXPECT_EQ(0, part->set_pm(nullptr, 0));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(0, part->set_pm(nullptr));
  EXPECT_EQ(std::vector<std::string>{"NULL Architecture cannot be created\n"},
            capture.texts(MsgKind::Internal));
  EXPECT_STREQ("alpha", part->get_arch());  // nothing changed
}

TEST_F(PicTest, PackageAndSpeedNeedADevice) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  pmtest::MessageCapture capture;
  EXPECT_FALSE(part->set_package("tq144"));
  EXPECT_FALSE(part->set_speed("-3"));
  EXPECT_EQ((std::vector<std::string>{"Device not defined, cannot set package.\n",
                                      "Device not defined, cannot set speed.\n"}),
            capture.texts(MsgKind::Warning));
  EXPECT_EQ(1, part->get_depth());
  EXPECT_EQ(nullptr, part->get_package());
}

TEST_F(PicTest, SettingALevelClearsOnlyWhatChanges) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  ASSERT_TRUE(part->set_device("xcab12e"));
  ASSERT_TRUE(part->set_package("TQ144"));
  ASSERT_TRUE(part->set_speed("-3I"));
  EXPECT_EQ(4, part->get_depth());
  EXPECT_STREQ("tq144", part->get_package());
  EXPECT_STREQ("-3I", part->get_speed());  // speeds keep their letter case

  EXPECT_TRUE(part->set_package("Tq144"));  // the same package: the speed stays
  EXPECT_STREQ("-3I", part->get_speed());
  EXPECT_FALSE(part->set_package(""));
  EXPECT_FALSE(part->set_package(nullptr));
  EXPECT_STREQ("tq144", part->get_package());

  EXPECT_TRUE(part->set_package("cs144"));
  EXPECT_EQ(nullptr, part->get_speed());
  EXPECT_EQ(3, part->get_depth());

  ASSERT_TRUE(part->set_speed("-4"));
  EXPECT_EQ(4, part->get_depth());
  EXPECT_TRUE(part->set_device("AB12E"));  // another name of the same device keeps the rest
  EXPECT_STREQ("xcab12e", part->get_device());
  EXPECT_STREQ("cs144", part->get_package());
  EXPECT_STREQ("-4", part->get_speed());

  EXPECT_TRUE(part->set_device("ab40e_alt"));
  EXPECT_STREQ("xcab40e", part->get_device());
  EXPECT_EQ(nullptr, part->get_package());
  EXPECT_EQ(nullptr, part->get_speed());
  EXPECT_EQ(2, part->get_depth());

  // A speed without package: depth 4; a package set afterwards clears the speed.
  ASSERT_TRUE(part->set_speed("-3"));
  EXPECT_EQ(4, part->get_depth());
  EXPECT_EQ(nullptr, part->get_package());
  ASSERT_TRUE(part->set_package("fg256"));
  EXPECT_EQ(nullptr, part->get_speed());
  EXPECT_EQ(3, part->get_depth());
}

TEST_F(PicTest, NameOfNoDeviceLeavesTheDeviceEmpty) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  EXPECT_TRUE(part->set_device("nosuch"));
  EXPECT_EQ(2, part->get_depth());
  EXPECT_EQ(nullptr, part->get_device());
  ASSERT_EQ(1, part->get_num_idnames());
  EXPECT_STREQ("NO_INTERNAL_DEVICE_NAME", part->get_internal_device(0));
  pmtest::MessageCapture capture;
  EXPECT_FALSE(part->set_package("tq144"));
  EXPECT_TRUE(capture.contains(MsgKind::Warning, "Device not defined"));
  EXPECT_EQ("<null>", Owned(part->get_partname()));
}

struct CompositionCase {
  const char* letter;  // PARTNAMECHAR, empty for none
  const char* device;
  const char* package;  // null: not set
  const char* speed;    // null: not set
  const char* part;
  const char* partname;
};

TEST(PicComposition, PartNamesDropTheLetterAndC) {
  const CompositionCase cases[] = {
      {"x", "xcab12e", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
      {"x", "XCAB12E", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
      {"X", "xcab12e", "tq144", nullptr, "ab12etq144", "ab12etq144"},
      // Without a letter get_part still drops the first character before a second "c".
      {"", "xcab12e", "tq144", "-3", "cab12etq144", "xcab12etq144-3"},
      // get_part looks at the second character; get_partname at the one after the letter.
      {"x", "cab12e", "tq144", "-3", "cab12etq144", "ab12etq144-3"},
      {"x", "ab12e", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
      {"x", "xc", "tq144", "-3", "tq144", "tq144-3"},
      {"x", "xcab12e", nullptr, nullptr, "<null>", "ab12e"},
      {"x", "xcab12e", nullptr, "-3", "<null>", "ab12e-3"},
  };
  Root root;
  root.Module("lettered", Definition("lettered", "", "PARTNAMECHAR = x\n"));
  root.Module("capital", Definition("capital", "", "PARTNAMECHAR = X\n"));
  root.Module("bare", Definition("bare"));
  spinetest::Install({&root});
  for (const CompositionCase& c : cases) {
    const std::string letter = c.letter;
    const std::unique_ptr<PM_PIC> part =
        Part(letter.empty() ? "bare" : letter == "x" ? "lettered" : "capital");
    part->set_device(c.device);
    if (c.package) part->set_package(c.package);
    if (c.speed) part->set_speed(c.speed);
    EXPECT_EQ(c.part, Owned(part->get_part())) << letter << " " << c.device;
    EXPECT_EQ(c.partname, Owned(part->get_partname())) << letter << " " << c.device;
  }
}

TEST_F(PicTest, CopyRebuildsEveryLevel) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("AB40E_ALT");
  part->set_package("fg256");
  part->set_speed("-5");
  part->set_minspd(1);
  part->set_411spd(7);

  PM_PIC copy(*part);
  EXPECT_STREQ("alpha", copy.get_arch());
  EXPECT_EQ(4, copy.get_depth());
  EXPECT_STREQ("xcab40e", copy.get_device());
  EXPECT_STREQ("fg256", copy.get_package());
  EXPECT_STREQ("-5", copy.get_speed());
  EXPECT_EQ(1, copy.get_minspd());
  EXPECT_EQ(1, copy.get_411spd());
  ASSERT_EQ(2, copy.get_num_idnames());
  EXPECT_STREQ("ab40e", copy.get_internal_device(0));
  EXPECT_STREQ("ab40e_alt", copy.get_internal_device(1));
  // The given device name is kept too: device data files are first looked for under it.
  EXPECT_EQ(root_.path() + "/alpha/data/ab40e_alt.nph",
            copy.GetDatafileName(2, ".nph", false, -1).str());
  ASSERT_NE(nullptr, copy.get_defdata());
  EXPECT_NE(part->get_defdata(), copy.get_defdata());

  copy.set_device("xcab12e");
  EXPECT_STREQ("xcab40e", part->get_device());
  EXPECT_STREQ("-5", part->get_speed());
}

TEST_F(PicTest, NewArchitectureClearsTheLevels) {
  root_.Module("beta", Definition("beta"));
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("xcab40e");
  part->set_package("fg256");
  ASSERT_EQ(1, part->set_arch("beta"));
  EXPECT_STREQ("beta", part->get_arch());
  EXPECT_EQ(1, part->get_depth());
  EXPECT_EQ(nullptr, part->get_device());
  EXPECT_EQ(nullptr, part->get_package());
  EXPECT_EQ(nullptr, part->get_vendor());
  EXPECT_EQ(0, part->get_num_idnames());
}

TEST_F(PicTest, DeviceDataFilesAreFoundUnderItsInternalNames) {
  root_.File("alpha/data/ab40e_alt.nph", "own\n");
  root_.Module("child", Definition("child", "alpha"));
  root_.File("alpha/data/ab40e.nph", "friend\n");
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("xcab40e");
  // Not under the device's own name: in the module's folder from the second internal name on.
  EXPECT_EQ(root_.path() + "/alpha/data/ab40e_alt.nph",
            part->GetDatafileName(2, ".nph", true, -1).str());

  // The child inherits the device table; its friend's folder is searched from the first name.
  const std::unique_ptr<PM_PIC> child = Part("child");
  child->set_device("xcab40e");
  EXPECT_EQ(root_.path() + "/alpha/data/ab40e.nph",
            child->GetDatafileName(2, ".nph", true, -1).str());
}

TEST_F(PicTest, PartKeyStoreSearchesTheDeviceAndItsInternalNames) {
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("xcab40e");
  part->set_package("fg256");
  const PM_DEVKEY store("", part.get(), 0, 0, 1);
  ASSERT_EQ(1, store.get_validity());
  EXPECT_EQ("Korvan", store.GetStringByKey("VENDOR", 0, 0, 0, 0).str());
  const StaticAcdRead* reader = PMDevKeyReader(store);
  ASSERT_NE(nullptr, reader);
  EXPECT_EQ((std::vector<std::string>{"ab40e_alt", "ab40e_alt:fg256", "ab40e", "ab40e:fg256",
                                      "xcab40e", "xcab40e:fg256"}),
            reader->getsearchkeys());
  EXPECT_STREQ("alpha.acd:alpha:xcab40e:fg256:fft", reader->getcomparename());
}
