// Validators: evidence on disk per architecture type, friend chains, device names, and the list
// sources behind device, package and speed lists.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "Validator.h"
#include "ValidatorFactory.h"
#include "baspmpic.h"
#include "pmport/sfp_acd.h"
#include "validation_fixture.h"

using spinetest::Root;
using namespace validationtest;
using Texts = std::vector<std::string>;

namespace {

// Modules of every type, with their data spread over friends.
struct ValidatorInstall {
  ValidatorInstall() {
    root.Module("pkgonly", Module("pkgonly", "FPGA", "xcd1,d1"));
    DataFile(root, "pkgonly", "d1.pkg", {"tq144"});
    root.Module("both", Module("both", "FPGA", "xcd2,d2"));
    DataFile(root, "both", "d2.pkg", {"tq144"});
    DeviceFile(root, "both", "d2");
    root.Module("nofiles", Module("nofiles", "FPGA", "xcd3,d3"));
    root.Module("notable", Module("notable", "FPGA", ""));
    // The device file is the parent's, the package file the grandparent's; ping and pong loop.
    root.Module("child", Module("child", "FPGA", "xcd1,d1", "", "parent"));
    root.Module("parent", Module("parent", "FPGA", "", "", "grand"));
    root.Module("grand", Module("grand", "FPGA", ""));
    DataFile(root, "grand", "d1.pkg", {"tq144"});
    DeviceFile(root, "parent", "d1");
    root.Module("ping", Module("ping", "FPGA", "xcd9,d9", "", "pong"));
    root.Module("pong", Module("pong", "FPGA", "", "", "ping"));
    // FPGA devices are listed from the device files of the module and its friends, in table
    // order, or from a scan without table; a device file of no declared device is reported.
    root.Module("kid", Module("kid", "FPGA", "xcd1,d1:xcd2,d2:xcd3,d3", "", "dad"));
    root.Module("dad", Module("dad", "FPGA", ""));
    DeviceFile(root, "kid", "d3");
    DeviceFile(root, "dad", "d1");
    root.Module("raw", Module("raw", "FPGA", ""));
    DeviceFile(root, "raw", "zz9");
    DeviceFile(root, "raw", "aa1");
    root.Module("stray", Module("stray", "FPGA", "xcd1,d1"));
    DeviceFile(root, "stray", "other");
    // CPLD packages come from friends, speeds do not.
    root.Module("ckid", Module("ckid", "CPLD", "xcd1,d1:xcd2,d2", "", "cdad"));
    root.Module("cdad", Module("cdad", "CPLD", ""));
    DataFile(root, "cdad", "d1.pkg", {"tq144", "cs49"});
    DataFile(root, "cdad", "d1.spd", {"-4", "-5"});
    root.Module("flags", Module("flags", "CPLD", "xcd1,d1:xcd2,d2"));
    DataFile(root, "flags", "d1.spd", {"-4", "-0", "-411"});
    DataFile(root, "flags", "d2.spd", {"-4"});
    root.Module("fam",
                Module("fam", "FPGA", "xcd1,d1:xcd2,d2", "TEST_DEVICE_INTERNAL = xct1,t1\n"));
    DeviceFile(root, "fam", "d1");
    DeviceFile(root, "fam", "t1");
    root.Module("prom", Module("prom", "CONFIG", "xcp1,p1"));
    root.UnsupportedModule("old", Module("old", "FPGA", "xco1,o1"));
    root.File("data/unsupported/old/data/o1.nph", "device\n");
    spinetest::Install({&root});
  }
  Root root;
};

// Whether the validator that `type` selects finds device data for `pm` under `root`.
bool HasDeviceData(const Root& root, const std::string& pm, const std::string& type) {
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  imp.SetArchType(type);
  const StaticAcdRead acd(root.DataFile(pm, pm + ".acd").c_str(), nullptr, nullptr, 1, 0, 1);
  return imp.validatorObject()->hasdevicedata(acd, pm);
}

}  // namespace

TEST(Validator, EachTypeDemandsItsOwnEvidenceOfTheSameFilesAlongTheFriendChain) {
  ValidatorInstall install;
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
}

TEST(Validator, FactoryComparesExactlyAndPartsUpperCaseTheirType) {
  Root root;
  root.Module("lower", Module("lower", "fpga", "xcd1,d1"));
  root.Module("pld", Module("pld", "PLD", "xcd1,d1"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(nullptr, PersonalityModule::CreatePicValidator("Fpga", &imp).get());
  EXPECT_EQ(Texts{"Error in setting up validator\n"}, capture.texts(Port::MsgKind::Fatal));
  EXPECT_EQ(101, capture.of(Port::MsgKind::Fatal).at(0).code);
  EXPECT_NE(nullptr, dynamic_cast<PersonalityModule::CONFIG_Validator*>(
                         PersonalityModule::CreatePicValidator("CONFIG", &imp).get()));

  capture.clear();
  PMPicImp lower(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lower.verify_and_set_pm("lower", true);
  EXPECT_NE(nullptr, dynamic_cast<PersonalityModule::FPGA_Validator*>(lower.validatorObject()));
  PMPicImp pld(nullptr, PM_BINDING_SUPPORTED_ONLY);
  pld.verify_and_set_pm("pld", true);
  EXPECT_EQ(nullptr, pld.validatorObject());
  EXPECT_EQ(1u, capture.of(Port::MsgKind::Fatal).size());
}

TEST(Validator, DeviceNamesFollowTheType) {
  ValidatorInstall install;
  const auto fpga = Part("fam");
  EXPECT_TRUE(fpga->isvaliddevicename("xcd1", 1));
  EXPECT_TRUE(fpga->isvaliddevicename("D1", 1));     // an internal name, in any case
  EXPECT_FALSE(fpga->isvaliddevicename("xcd2", 1));  // declared, but no device file
  EXPECT_FALSE(fpga->isvaliddevicename("xct1", 1));  // a test device, test mode off
  EXPECT_EQ(Texts{"xcd1"}, NextLevel(*fpga));

  const auto cpld = Part("ckid");
  EXPECT_TRUE(cpld->isvaliddevicename("xcd2", 1));
  EXPECT_FALSE(cpld->isvaliddevicename("xcd7", 1));
  EXPECT_EQ((Texts{"xcd1", "xcd2"}), NextLevel(*cpld));

  // Configuration memories accept any package and speed.
  const auto prom = Part("prom");
  EXPECT_TRUE(prom->isvaliddevicename("xcp1", 1));
  prom->set_device("xcp1");
  EXPECT_TRUE(prom->isvalidpackagename("anything", 1));
  EXPECT_TRUE(prom->isvalidspeedname("-99", 1));

  // An unsupported FPGA module has no device list for checking: a declared name is enough.
  const auto old = Part("old", PM_BINDING_ALLOW_UNSUPPORTED);
  ASSERT_TRUE(old->isunsupported());
  EXPECT_TRUE(NextLevel(*old).empty());
  EXPECT_TRUE(old->isvaliddevicename("xco1", 1));
}

TEST(Validator, TestDevicesCountInTestDeviceMode) {
  if (!spinetest::InChildWithEnv("PM_TEST_DEVICES", "")) return;
  Root root;
  root.Module("fam", Module("fam", "CPLD", "xcd1,d1", "TEST_DEVICE_INTERNAL = xct1,t1\n"));
  DataFile(root, "fam", "t1.pkg", {"tq144"});
  spinetest::Install({&root});
  EXPECT_TRUE(HasDeviceData(root, "fam", "CPLD"));
  const auto part = Part("fam");
  EXPECT_TRUE(part->isvaliddevicename("xct1", 1));
  EXPECT_EQ((Texts{"xcd1", "xct1"}), NextLevel(*part));
}

TEST(Validator, ListsComeFromTheDataFilesOfModuleAndFriends) {
  ValidatorInstall install;
  pmtest::MessageCapture capture;
  EXPECT_EQ((Texts{"xcd1", "xcd3"}), NextLevel(*Part("kid")));
  const auto raw = Part("raw");
  EXPECT_EQ((Texts{"aa1", "zz9"}), NextLevel(*raw));
  EXPECT_TRUE(raw->isvaliddevicename("zz9", 1));
  EXPECT_TRUE(capture.texts(Port::MsgKind::Internal).empty());
  EXPECT_TRUE(NextLevel(*Part("stray")).empty());
  EXPECT_EQ(Texts{"nph data files found with no internal name.  Please check the PM level acd "
                  "file stray.acd.\n"},
            capture.texts(Port::MsgKind::Internal));

  const auto part = Part("ckid");
  part->set_device("xcd1");
  EXPECT_EQ((Texts{"tq144", "cs49"}), NextLevel(*part));
  part->set_package("tq144");
  EXPECT_TRUE(NextLevel(*part).empty());
}

TEST(Validator, NoInternalNameFallsBackToTheDeviceOncePerDirectory) {
  Root first;
  Root second;
  second.Module("fam", Module("fam", "CPLD", "xcd1,NO_INTERNAL_DEVICE_NAME"));
  DataFile(second, "fam", "xcd1.pkg", {"tq144"});
  spinetest::Install({&first, &second});

  pmtest::MessageCapture capture;
  const auto part = Part("fam");
  part->set_device("xcd1");
  EXPECT_EQ(Texts{"tq144"}, NextLevel(*part));
  const std::string fallback =
      "No internal device name, using external device to build package list.\n";
  EXPECT_EQ((Texts{fallback, fallback}), capture.texts(Port::MsgKind::Warning));
}

TEST(Validator, SpeedFlagsAnswerWithoutAWalk) {
  ValidatorInstall install;
  PMPicImp imp(nullptr, PM_BINDING_SUPPORTED_ONLY);
  imp.verify_and_set_pm("flags", true);
  imp.SetDevice("xcd1");
  PersonalityModule::Validator& validator = *imp.validatorObject();
  EXPECT_TRUE(validator.getminspd("xcd1"));
  EXPECT_TRUE(validator.get411spd("xcd1"));
  EXPECT_FALSE(validator.getminspd("xcd2"));
  EXPECT_TRUE(validator.isvalidspeed("xcd1", "-4"));
  EXPECT_FALSE(validator.isvalidspeed("xcd1", "-0"));  // a flag, not a grade
}
