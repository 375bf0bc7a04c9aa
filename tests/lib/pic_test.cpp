// Parts: the set-architecture step, the level setters and clears, composed part names, copies,
// device data files found by internal name, and part key stores.
#include <tuple>

#include "baspmdevkey.h"
#include "validation_fixture.h"

using namespace spinetest;
using namespace pmlib::msg;
using validationtest::Levels;
using validationtest::Part;

namespace {

// A composed name, freed here; "-" for none.
std::string Owned(char* text) {
  const std::unique_ptr<char[]> owner(text);
  return text ? std::string(text) : std::string("-");
}

class PicTest : public testing::Test {
 protected:
  void SetUp() override {
    root_.Module("alpha", Definition("alpha", "",
                                     "VENDOR = Korvan\nFAMILY = alpha\nSUPPORT_MODE = PHYSICAL\n"
                                     "PARTNAMECHAR = x\nPMPREFIX = AB\nARCH_TYPE = fpga\n"
                                     "DEVICE_INTERNAL = xcab12e,ab12e:xcab40e,ab40e,ab40e_alt\n"));
    spinetest::Install({&root_});
  }

  Root root_;
};

}  // namespace

TEST_F(PicTest, ArchitectureStepTakesTheDefinitionsKeysAndFamilyWarningOnlyForPhysicalModules) {
  root_.Module("phys", Definition("phys", "", "SUPPORT_MODE = physical\n"));
  root_.Module("logi", Definition("logi", "", "SUPPORT_MODE = LOGICAL\n"));
  pmtest::MessageCapture capture;
  const std::unique_ptr<PM_PIC> part = Part("ALPHA");
  EXPECT_EQ("alpha/-/-/- @1 Korvan alpha AB", Levels(*part) + " " + part->get_vendor() + " " +
                                                  part->get_family() + " " + part->get_pmprefix());
  // A null architecture changes nothing and is reported only when asked: once of these two.
  EXPECT_EQ(0, part->set_pm(nullptr, 0) + part->set_pm(nullptr));
  EXPECT_EQ("alpha/-/-/- @1", Levels(*part));
  const std::unique_ptr<PM_PIC> physical = Part("phys");
  EXPECT_TRUE(physical->get_family() == nullptr && physical->get_vendor() == nullptr);
  EXPECT_EQ(nullptr, Part("logi")->get_family());
  // "logi" names no type: FPGA.
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, imp.SetArchitecture("logi", true));
  EXPECT_EQ("FPGA", imp.architectureType());
  // The same type again, in any case, keeps its validator.
  const PersonalityModule::Validator* const fpga = imp.currentValidator();
  imp.SetArchType("fpga");
  EXPECT_EQ(fpga, imp.currentValidator());
  EXPECT_THAT(capture.messages(), ElementsAre(From(NullArchitecture), Says(NoFamily, {"phys"})));
}

// Each row sets one level ('d'evice, 'p'ackage, 's'peed) on the same part, in order: the level,
// the value, whether it is accepted, then the levels of the part.
TEST_F(PicTest, SettingALevelClearsOnlyWhatChanges) {
  const std::tuple<char, const char*, bool, const char*> steps[] = {
      {'p', "tq144", false, "alpha/-/-/- @1"},  // package and speed need a device
      {'s', "-3", false, "alpha/-/-/- @1"},
      {'d', "xcab12e", true, "alpha/xcab12e/-/- @2"},
      {'p', "TQ144", true, "alpha/xcab12e/tq144/- @3"},
      {'s', "-3I", true, "alpha/xcab12e/tq144/-3I @4"},    // speeds keep their letter case
      {'p', "Tq144", true, "alpha/xcab12e/tq144/-3I @4"},  // the same package: the speed stays
      {'p', "", false, "alpha/xcab12e/tq144/-3I @4"},
      {'p', nullptr, false, "alpha/xcab12e/tq144/-3I @4"},
      {'p', "cs144", true, "alpha/xcab12e/cs144/- @3"},
      {'s', "-4", true, "alpha/xcab12e/cs144/-4 @4"},
      // another name of the same device keeps the rest
      {'d', "AB12E", true, "alpha/xcab12e/cs144/-4 @4"},
      {'d', "ab40e_alt", true, "alpha/xcab40e/-/- @2"},
      // a speed without package: depth 4; a package set afterwards clears the speed
      {'s', "-3", true, "alpha/xcab40e/-/-3 @4"},
      {'p', "fg256", true, "alpha/xcab40e/fg256/- @3"},
      // the name of no device leaves the device empty, and a package still needs one
      {'d', "nosuch", true, "alpha/-/-/- @2"},
      {'p', "tq144", false, "alpha/-/-/- @2"},
  };
  pmtest::MessageCapture capture;
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  for (const auto& [level, value, accepted, levels] : steps) {
    const bool set = level == 'd'   ? part->set_device(value)
                     : level == 'p' ? part->set_package(value)
                                    : part->set_speed(value);
    EXPECT_EQ(accepted, set) << level << " " << Text(value);
    EXPECT_EQ(levels, Levels(*part)) << level << " " << Text(value);
  }
  EXPECT_EQ("1 NO_INTERNAL_DEVICE_NAME -", std::to_string(part->get_num_idnames()) + " " +
                                               Text(part->get_internal_device(0)) + " " +
                                               Owned(part->get_partname()));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(From(PackageWithoutDevice), From(SpeedWithoutDevice),
                          From(PackageWithoutDevice)));
}

// Each row: the architecture (lettered: PARTNAMECHAR x, capital: X, bare: none), the device, the
// package and speed (null: not set), then get_part and get_partname.
TEST_F(PicTest, PartNamesDropTheLetterAndC) {
  const std::tuple<const char*, const char*, const char*, const char*, const char*, const char*>
      cases[] = {
          {"lettered", "xcab12e", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
          {"lettered", "XCAB12E", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
          {"capital", "xcab12e", "tq144", nullptr, "ab12etq144", "ab12etq144"},
          // Without a letter get_part still drops the first character before a second "c".
          {"bare", "xcab12e", "tq144", "-3", "cab12etq144", "xcab12etq144-3"},
          // get_part looks at the second character; get_partname at the one after the letter.
          {"lettered", "cab12e", "tq144", "-3", "cab12etq144", "ab12etq144-3"},
          {"lettered", "ab12e", "tq144", "-3", "ab12etq144", "ab12etq144-3"},
          {"lettered", "xc", "tq144", "-3", "tq144", "tq144-3"},
          {"lettered", "xcab12e", nullptr, nullptr, "-", "ab12e"},
          {"lettered", "xcab12e", nullptr, "-3", "-", "ab12e-3"},
      };
  root_.Module("lettered", Definition("lettered", "", "PARTNAMECHAR = x\n"));
  root_.Module("capital", Definition("capital", "", "PARTNAMECHAR = X\n"));
  root_.Module("bare", Definition("bare"));
  for (const auto& [arch, device, package, speed, composed, partname] : cases) {
    const std::unique_ptr<PM_PIC> part = Part(arch);
    part->set_device(device);
    if (package) part->set_package(package);
    if (speed) part->set_speed(speed);
    EXPECT_EQ(composed, Owned(part->get_part())) << arch << " " << device;
    EXPECT_EQ(partname, Owned(part->get_partname())) << arch << " " << device;
  }
}

TEST_F(PicTest, CopyRebuildsEveryLevelAndANewArchitectureClearsThem) {
  root_.Module("beta", Definition("beta"));
  const std::unique_ptr<PM_PIC> part = Part("alpha");
  part->set_device("AB40E_ALT");
  part->set_package("fg256");
  part->set_speed("-5");
  part->set_minspd(1);
  part->set_411spd(7);

  PM_PIC copy(*part);
  ASSERT_EQ(2, copy.get_num_idnames());
  EXPECT_EQ("alpha/xcab40e/fg256/-5 @4 2 ab40e ab40e_alt",
            Levels(copy) + " " + std::to_string(copy.get_minspd() + copy.get_411spd()) + " " +
                copy.get_internal_device(0) + " " + copy.get_internal_device(1));
  // The given device name is kept too: device data files are first looked for under it.
  EXPECT_EQ(root_.path() + "/alpha/data/ab40e_alt.nph",
            copy.GetDatafileName(2, ".nph", false, -1).str());
  EXPECT_TRUE(copy.get_defdata() != nullptr && copy.get_defdata() != part->get_defdata());

  copy.set_device("xcab12e");
  EXPECT_EQ("alpha/xcab40e/fg256/-5 @4", Levels(*part));

  ASSERT_EQ(1, part->set_arch("beta"));
  EXPECT_EQ("beta/-/-/- @1", Levels(*part));
  EXPECT_TRUE(part->get_vendor() == nullptr && part->get_num_idnames() == 0);
}

TEST_F(PicTest, DeviceDataFilesAndPartKeyStoresGoByTheDeviceAndItsInternalNames) {
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

  // The order of a part store's search keys is pinned with the key-store tests.
  part->set_package("fg256");
  const PM_DEVKEY store("", part.get(), 0, 0, 1);
  EXPECT_EQ("Korvan 6 alpha.acd:alpha:xcab40e:fg256:fft",
            Values(store, {"VENDOR"}) + std::to_string(PMDevKeyReader(store)->getnsearchkeys()) +
                " " + PMDevKeyReader(store)->getcomparename());
}
