// Configuration parts: the configuration rules for FPGA devices, the validator choice, and the
// lists shared with plain parts.
#include "PMPicConfig.h"
#include "Validator.h"
#include "pmlib/picconfig.h"
#include "validation_fixture.h"

using PersonalityModule::PicConfig;
using PersonalityModule::PMPicConfigImp;
using namespace validationtest;
using namespace spinetest;

namespace {

// An FPGA family: xcab12e has every file, xcab40e is declared with package and speed files but
// has no device file.
const ModuleRow kFpga = {"fam", "FPGA", "xcab12e,ab12e:xcab40e,ab40e",
                         "ab12e.nph ab12e.pkg=tq144 ab40e.pkg=pq208 ab40e.spd=-4",
                         "DEVICE_FORMAT = xcab__e\n"};

}  // namespace

TEST(PicConfig, DeclaredDeviceWithAPackageFileIsEnoughForConfigurationOnly) {
  const InstalledModules install({kFpga});
  PicConfig config("xcab40epq208-4", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(1, config.isvalid(1, 1));
  const char* text = "";
  EXPECT_EQ(0, config.getpicstatus(text));
  PicConfig family("fam", 0, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ((Texts{"xcab12e", "xcab40e"}), NextLevel(family));  // declared, not scanned

  const PM_PIC part("xcab40epq208-4", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(2, part.getpicstatus(text));
  EXPECT_STREQ("xcab40e", text);
}

TEST(PicConfig, ValidatorFollowsTheTypeAndAnUnknownTypeKeepsThePreviousOne) {
  PMPicConfigImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  imp.SetArchType("");
  const PersonalityModule::Validator* fpga = imp.currentValidator();
  EXPECT_NE(nullptr, dynamic_cast<const PersonalityModule::FPGA_CF_Validator*>(fpga));
  imp.SetArchType("fpga");
  EXPECT_EQ(fpga, imp.currentValidator());

  pmtest::MessageCapture capture;
  imp.SetArchType("pld");
  EXPECT_EQ(fpga, imp.currentValidator());
  EXPECT_EQ("PLD", imp.architectureType().str());
  EXPECT_THAT(capture.messages(), ElementsAre(From(pmlib::msg::ValidatorSetupFailed)));

  imp.SetArchType("Cpld");
  EXPECT_NE(nullptr,
            dynamic_cast<const PersonalityModule::CPLD_Validator*>(imp.currentValidator()));
  const std::unique_ptr<PMPicImp> empty = imp.CreateEmptyImp(PM_BINDING_SUPPORTED_ONLY);
  EXPECT_NE(nullptr, dynamic_cast<PMPicConfigImp*>(empty.get()));
}
