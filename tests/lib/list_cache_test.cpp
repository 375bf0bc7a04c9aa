// Shared lists: one list object per module or device for every part, lazy iterators, and a build
// that happens exactly once however many threads want the list at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>

#include "PMLists.h"
#include "Validator.h"
#include "validation_fixture.h"

using PersonalityModule::BaseList;
using PersonalityModule::ListIterator;
using spinetest::Root;
using namespace validationtest;

namespace {

// A list that counts its builds and takes its time over each, so that concurrent walkers meet.
class CountingList : public BaseList {
 public:
  explicit CountingList(std::atomic<int>& builds) : builds_(builds) {}
  void build() override {
    if (isbuilt()) return;
    builds_.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    items = boost::make_shared<PersonalityModule::NameVector>(
        PersonalityModule::NameVector{"a", "b", "c"});
    built.store(true);
  }

 private:
  std::atomic<int>& builds_;
};

std::vector<std::string> Walk(ListIterator name, const ListIterator& end) {
  std::vector<std::string> names;
  for (; name != end; name++) names.push_back(name->c_str());
  return names;
}

// Installs the module "fam" with the devices xcd1 and xcd2 and the data files given by name.
void InstallFamily(const Root& root, const std::map<std::string, std::vector<std::string>>& files) {
  root.Module("fam", Module("fam", "CPLD", "xcd1,d1:xcd2,d2"));
  for (const auto& [file, names] : files) DataFile(root, "fam", file, names);
  spinetest::Install({&root});
}

// A part bound to `arch`.
std::unique_ptr<PMPicImp> BoundPart(const char* arch) {
  auto part = std::make_unique<PMPicImp>(nullptr, PM_BINDING_SUPPORTED_ONLY);
  part->verify_and_set_pm(arch, true);
  return part;
}

}  // namespace

TEST(ListIterator, PositionsLazilyAndComparesAsStated) {
  std::atomic<int> builds{0};
  const auto list = boost::make_shared<CountingList>(builds);
  ListIterator begin(*list, ListIterator::Begin);
  const ListIterator end(*list, ListIterator::End);
  EXPECT_EQ(0, builds.load());  // nothing is built before an iterator is used
  EXPECT_EQ("a", std::string((*begin).c_str()));
  EXPECT_EQ(1, builds.load());
  const ListIterator before = begin++;
  EXPECT_EQ("a", std::string(before->c_str()));
  EXPECT_EQ("b", std::string(begin->c_str()));
  EXPECT_EQ((std::vector<std::string>{"b", "c"}), Walk(begin, end));

  // An empty list: a begin iterator equals the end one; so do two iterators over no list.
  class EmptyList : public BaseList {
   public:
    void build() override {
      items = boost::make_shared<PersonalityModule::NameVector>();
      built.store(true);
    }
  };
  const auto empty = boost::make_shared<EmptyList>();
  EXPECT_TRUE(ListIterator(*empty, ListIterator::Begin) == ListIterator(*empty, ListIterator::End));
  EXPECT_TRUE(ListIterator() == ListIterator());
}

TEST(ListIterator, EachListIsBuiltOnceWhileManyThreadsPositionAtOnce) {
  std::atomic<int> builds{0};
  const auto list = boost::make_shared<CountingList>(builds);
  std::vector<std::thread> walkers;
  std::vector<std::vector<std::string>> seen(8);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    walkers.emplace_back([&, i] {
      seen[i] =
          Walk(ListIterator(*list, ListIterator::Begin), ListIterator(*list, ListIterator::End));
    });
  }
  for (std::thread& walker : walkers) walker.join();
  EXPECT_EQ(1, builds.load());
  for (const auto& names : seen) EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), names);
}

TEST(ListCache, PartsShareOneListPerModuleAndDeviceAndASecondWalkReadsNoFile) {
  Root root;
  InstallFamily(root, {{"d1.pkg", {"tq144", "cs49"}}, {"d1.spd", {"-4", "-5"}}});

  const auto first = BoundPart("fam");
  const auto second = BoundPart("fam");
  EXPECT_EQ(PersonalityModule::GetDeviceList(*first), PersonalityModule::GetDeviceList(*second));
  EXPECT_EQ(PersonalityModule::GetPackageList(*first, "xcd1"),
            PersonalityModule::GetPackageList(*second, "xcd1"));
  EXPECT_NE(PersonalityModule::GetPackageList(*first, "xcd1"),
            PersonalityModule::GetSpeedList(*first, "xcd1"));

  const auto walkAll = [] {
    std::vector<std::string> all;
    const auto part = Part("fam");
    for (const std::string& device : NextLevel(*part)) {
      part->set_device(device.c_str());
      for (const std::string& package : NextLevel(*part)) {
        part->set_package(package.c_str());
        for (const std::string& speed : NextLevel(*part)) all.push_back(device + package + speed);
      }
    }
    return all;
  };
  const std::vector<std::string> expected{"xcd1tq144-4", "xcd1tq144-5", "xcd1cs49-4", "xcd1cs49-5"};
  EXPECT_EQ(expected, walkAll());
  std::filesystem::remove(root.DataFile("fam", "d1.pkg"));
  std::filesystem::remove(root.DataFile("fam", "d1.spd"));
  EXPECT_EQ(expected, walkAll());
}

TEST(ListCache, ConcurrentPartsBuildEachRealListOnceAndMissingDataGivesEmptyRanges) {
  Root root;
  root.Module("fam", Module("fam", "CPLD", "xcd1,d1"));
  DataFile(root, "fam", "d1.pkg", {"tq144", "cs49"});
  root.Module("bare", Module("bare", "CPLD", "xcb1,b1"));
  spinetest::Install({&root});
  std::vector<std::unique_ptr<PMPicImp>> parts;
  for (int i = 0; i < 6; ++i) parts.push_back(BoundPart("fam"));
  std::vector<std::thread> walkers;
  std::vector<std::vector<std::string>> seen(parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    walkers.emplace_back([&, i] {
      PersonalityModule::Validator& validator = *parts[i]->validatorObject();
      seen[i] = Walk(validator.packagebegin("xcd1"), validator.packageend("xcd1"));
    });
  }
  for (std::thread& walker : walkers) walker.join();
  for (const auto& names : seen) EXPECT_EQ((std::vector<std::string>{"tq144", "cs49"}), names);

  // A module without package file, and a part without module, give empty ranges.
  const auto bare = BoundPart("bare");
  PersonalityModule::Validator& validator = *bare->validatorObject();
  EXPECT_TRUE(validator.packagebegin("xcb1") == validator.packageend("xcb1"));
  EXPECT_FALSE(validator.isvalidpackage("xcb1", "tq144"));
  PMPicImp nameless(nullptr, PM_BINDING_SUPPORTED_ONLY);
  nameless.SetArchType("CPLD");
  PersonalityModule::Validator& none = *nameless.validatorObject();
  EXPECT_TRUE(none.devicebegin() == none.deviceend());
}

// The device lists hand out what the by-name iterators walk, the same on two threads at once,
// and are made once: a second call gives the same table.
TEST(ListCache, DeviceListsHoldWhatTheIteratorsWalk) {
  Root root;
  InstallFamily(root, {{"d1.pkg", {"tq144", "cs49"}}, {"d2.spd", {"-4", "-5"}}});
  const auto flatten = [](PersonalityModule::Validator& validator) {
    std::vector<std::string> names;
    for (const PersonalityModule::DeviceLists& device : validator.devicelists()) {
      names.push_back(device.device->c_str());
      for (const Port::String& package : device.packages) names.push_back("p" + package.str());
      for (const Port::String& speed : device.speeds) names.push_back("s" + speed.str());
    }
    return names;
  };
  const auto first = BoundPart("fam");
  const auto second = BoundPart("fam");
  std::vector<std::string> seen[2];
  std::thread other([&] { seen[1] = flatten(*second->validatorObject()); });
  seen[0] = flatten(*first->validatorObject());
  other.join();
  PersonalityModule::Validator& validator = *first->validatorObject();
  std::vector<std::string> walked;
  for (auto device = validator.devicebegin(); device != validator.deviceend(); ++device) {
    walked.push_back(device->c_str());
    for (const std::string& package :
         Walk(validator.packagebegin(*device), validator.packageend(*device))) {
      walked.push_back("p" + package);
    }
    for (const std::string& speed :
         Walk(validator.speedbegin(*device), validator.speedend(*device))) {
      walked.push_back("s" + speed);
    }
  }
  EXPECT_EQ((std::vector<std::string>{"xcd1", "ptq144", "pcs49", "xcd2", "s-4", "s-5"}), walked);
  EXPECT_EQ(walked, seen[0]);
  EXPECT_EQ(walked, seen[1]);
  EXPECT_EQ(&validator.devicelists(), &second->validatorObject()->devicelists());
  PMPicImp nameless(nullptr, PM_BINDING_SUPPORTED_ONLY);
  nameless.SetArchType("CPLD");
  EXPECT_TRUE(nameless.validatorObject()->devicelists().empty());
}

namespace {

// A part implementation with the configuration rules: the FPGA configuration validator and the
// CF_ lists, built through parts of its own kind.
class ConfigurationLikePart : public PMPicImp {
 public:
  using PMPicImp::PMPicImp;

  static std::unique_ptr<PMPicImp> Make(PM_PARTNAME_BINDING binding) {
    return std::make_unique<ConfigurationLikePart>(nullptr, binding);
  }
  void SetArchType(Port::String type) const override {
    PMPicImp::SetArchType(type);
    if (architectureType() == "FPGA") {
      validator = boost::make_shared<PersonalityModule::FPGA_CF_Validator>(this);
    }
  }
  boost::shared_ptr<BaseList> CreateNSDeviceList() const override {
    return boost::make_shared<PersonalityModule::CF_NS_DeviceList>(pm, Make);
  }
  boost::shared_ptr<BaseList> CreatePkgList(const Port::String& device) const override {
    return boost::make_shared<PersonalityModule::CF_PkgList>(pm, device, Make);
  }
};

}  // namespace

TEST(ListCache, ConfigurationListsBuildThroughTheirOwnRulesAndAreSharedWithParts) {
  Root root;
  root.Module("fam", Module("fam", "FPGA", "xcd1,d1:xcd2,d2"));
  DataFile(root, "fam", "d1.pkg", {"tq144"});
  spinetest::Install({&root});

  ConfigurationLikePart configuration(nullptr, PM_BINDING_SUPPORTED_ONLY);
  configuration.verify_and_set_pm("fam", true);
  PersonalityModule::Validator& validator = *configuration.validatorObject();
  EXPECT_TRUE(validator.isvaliddevice("xcd1"));  // declared: no device file needed
  // The declared devices, not the (empty) scan for device files.
  EXPECT_EQ((std::vector<std::string>{"xcd1", "xcd2"}),
            Walk(validator.devicebegin(), validator.deviceend()));
  EXPECT_NE(nullptr, dynamic_cast<PersonalityModule::CF_NS_DeviceList*>(
                         PersonalityModule::GetDeviceList(configuration).get()));
  EXPECT_NE(nullptr, dynamic_cast<PersonalityModule::CF_PkgList*>(
                         PersonalityModule::GetPackageList(configuration, "xcd1").get()));

  // A plain part of the same module made later gets the lists made first.
  const auto part = Part("fam");
  EXPECT_FALSE(part->isvaliddevicename("xcd1", 1));  // its own rules want the device file
  EXPECT_EQ((std::vector<std::string>{"xcd1", "xcd2"}), NextLevel(*part));
}
