// Validators: evidence on disk per architecture type, friend chains, device names, and the list
// sources behind device, package and speed lists.
#include <tuple>

#include "Validator.h"
#include "ValidatorFactory.h"
#include "pmport/sfp_acd.h"
#include "validation_fixture.h"

using spinetest::Root;
using namespace validationtest;
using Texts = std::vector<std::string>;

namespace {

// Modules of every type, with their data spread over friends.
const std::vector<ModuleRow> kModules = {
    {"pkgonly", "FPGA", "xcd1,d1", "d1.pkg=tq144"},
    {"both", "FPGA", "xcd2,d2", "d2.pkg=tq144 d2.nph"},
    {"nofiles", "FPGA", "xcd3,d3"},
    {"notable", "FPGA", ""},
    // The device file is the parent's, the package file the grandparent's; ping and pong loop.
    {"child", "FPGA", "xcd1,d1", "", "", "parent"},
    {"parent", "FPGA", "", "d1.nph", "", "grand"},
    {"grand", "FPGA", "", "d1.pkg=tq144"},
    {"ping", "FPGA", "xcd9,d9", "", "", "pong"},
    {"pong", "FPGA", "", "", "", "ping"},
    // FPGA devices are listed from the device files of the module and its friends, in table
    // order, or from a scan without table; a device file of no declared device is reported.
    {"kid", "FPGA", "xcd1,d1:xcd2,d2:xcd3,d3", "d3.nph", "", "dad"},
    {"dad", "FPGA", "", "d1.nph"},
    {"raw", "FPGA", "", "zz9.nph aa1.nph"},
    {"stray", "FPGA", "xcd1,d1", "other.nph"},
    // CPLD packages come from friends, speeds do not.
    {"ckid", "CPLD", "xcd1,d1:xcd2,d2", "", "", "cdad"},
    {"cdad", "CPLD", "", "d1.pkg=tq144,cs49 d1.spd=-4,-5"},
    {"flags", "CPLD", "xcd1,d1:xcd2,d2", "d1.spd=-4,-0,-411 d2.spd=-4"},
    {"fam", "FPGA", "xcd1,d1:xcd2,d2", "d1.nph t1.nph", "TEST_DEVICE_INTERNAL = xct1,t1\n"},
    {"prom", "CONFIG", "xcp1,p1"},
    {"old", "FPGA", "xco1,o1", "o1.nph", "", "", true},
};

// Whether the validator that `type` selects finds device data for `pm` under `root`.
bool HasDeviceData(const Root& root, const std::string& pm, const std::string& type) {
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  imp.SetArchType(type);
  const StaticAcdRead acd(root.DataFile(pm, pm + ".acd").c_str(), nullptr, nullptr, 1, 0, 1);
  return imp.validatorObject()->hasdevicedata(acd, pm);
}

}  // namespace

// The validator's own answers: the evidence of device data, and the speed flags without a walk.
TEST(Validator, EachTypeDemandsItsOwnEvidenceAndSpeedFlagsAnswerWithoutAWalk) {
  const InstalledModules install(kModules);
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"pkgonly", "FPGA", false}, {"pkgonly", "CPLD", true},   {"both", "FPGA", true},
      {"nofiles", "CPLD", false}, {"nofiles", "CONFIG", true}, {"notable", "CONFIG", false},
      {"child", "FPGA", true},    {"ping", "FPGA", false},
  };
  for (const auto& [pm, type, expected] : cases) {
    EXPECT_EQ(expected, HasDeviceData(install.root, pm, type)) << pm << " " << type;
  }
  // The configuration rules for FPGA ask for the package file only.
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  PersonalityModule::FPGA_CF_Validator configuration(&imp);
  const StaticAcdRead acd(install.root.DataFile("pkgonly", "pkgonly.acd").c_str(), nullptr, nullptr,
                          1, 0, 1);
  EXPECT_TRUE(configuration.hasdevicedata(acd, "pkgonly"));
  // Parts upper-case their type before asking; the factory itself knows the upper-case names only.
  const pmtest::MessageCapture quiet;
  EXPECT_EQ(nullptr, PersonalityModule::CreatePicValidator("Fpga", &imp).get());

  PMPicImp flagged(nullptr, PM_BINDING_SUPPORTED_ONLY);
  flagged.verify_and_set_pm("flags", true);
  flagged.SetDevice("xcd1");
  PersonalityModule::Validator& validator = *flagged.validatorObject();
  // "-0" is a flag, not a grade.
  EXPECT_EQ((std::vector<bool>{true, true, false, true, false}),
            (std::vector<bool>{validator.getminspd("xcd1"), validator.get411spd("xcd1"),
                               validator.getminspd("xcd2"), validator.isvalidspeed("xcd1", "-4"),
                               validator.isvalidspeed("xcd1", "-0")}));
}

// FPGA devices need a device file; an internal name counts in any case; test devices need test
// mode; configuration memories take any package and speed; an unsupported FPGA module has no
// device list for checking, so a declared name is enough. Devices are listed from the device files
// of the module and its friends in table order, or from a scan without table; CPLD packages come
// from friends, speeds do not.
TEST(Validator, DeviceNamesFollowTheTypeAndListsTheDataFilesOfModuleAndFriends) {
  const InstalledModules install(kModules);
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"fam", "xcd1", true},  {"fam", "D1", true},    {"fam", "xcd2", false},
      {"fam", "xct1", false}, {"ckid", "xcd2", true}, {"ckid", "xcd7", false},
      {"prom", "xcp1", true}, {"old", "xco1", true},  {"raw", "zz9", true},
  };
  for (const auto& [pm, device, valid] : cases) {
    EXPECT_EQ(valid, Part(pm, PM_BINDING_ALLOW_UNSUPPORTED)->isvaliddevicename(device, 1))
        << pm << device;
  }
  const auto prom = Part("prom");
  prom->set_device("xcp1");
  EXPECT_TRUE(prom->isvalidpackagename("anything", 1) && prom->isvalidspeedname("-99", 1));

  const std::pair<const char*, const char*> devices[] = {
      {"fam", "xcd1"},    {"ckid", "xcd1,xcd2"}, {"kid", "xcd1,xcd3"},
      {"raw", "aa1,zz9"}, {"stray", ""},         {"old", ""}};
  pmtest::MessageCapture capture;
  for (const auto& [pm, listed] : devices) {
    EXPECT_EQ(listed, JoinedNames(NextLevel(*Part(pm, PM_BINDING_ALLOW_UNSUPPORTED)))) << pm;
  }
  EXPECT_EQ("DataFilesWithoutInternalName", MessageNames(capture.messages()));
  const auto part = Part("ckid");
  part->set_device("xcd1");
  EXPECT_EQ("tq144,cs49", JoinedNames(NextLevel(*part)));
  part->set_package("tq144");
  EXPECT_TRUE(NextLevel(*part).empty());
}

TEST(Validator, TestDevicesCountInTestDeviceMode) {
  if (!spinetest::InChildWithEnv("PM_TEST_DEVICES", "")) return;
  const InstalledModules install(
      {{"fam", "CPLD", "xcd1,d1", "t1.pkg=tq144", "TEST_DEVICE_INTERNAL = xct1,t1\n"}});
  EXPECT_TRUE(HasDeviceData(install.root, "fam", "CPLD"));
  EXPECT_TRUE(Part("fam")->isvaliddevicename("xct1", 1));
  EXPECT_EQ((Texts{"xcd1", "xct1"}), NextLevel(*Part("fam")));
}

TEST(Validator, NoInternalNameFallsBackToTheDeviceOncePerDirectory) {
  Root first;
  Root second;
  WriteModules(second, {{"fam", "CPLD", "xcd1,NO_INTERNAL_DEVICE_NAME", "xcd1.pkg=tq144"}});
  spinetest::Install({&first, &second});

  pmtest::MessageCapture capture;
  const auto part = Part("fam");
  part->set_device("xcd1");
  EXPECT_EQ(Texts{"tq144"}, NextLevel(*part));
  EXPECT_EQ("NoInternalNameForPackages NoInternalNameForPackages",
            MessageNames(capture.messages()));
}
