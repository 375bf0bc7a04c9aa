// Shared lists: one list object per module or device for every part, and lazy iterators. Their
// builds on many threads at once are the stress suite's (tests/stress).
#include <filesystem>

#include <boost/make_shared.hpp>

#include "PMLists.h"
#include "Validator.h"
#include "validation_fixture.h"

using PersonalityModule::BaseList;
using PersonalityModule::ListIterator;
using namespace validationtest;

namespace {

// A list of `names` that counts its builds.
class CountingList : public BaseList {
 public:
  CountingList(int& builds, PersonalityModule::NameVector names)
      : builds_(builds), names_(std::move(names)) {}
  void build() override {
    ++builds_;
    items = boost::make_shared<PersonalityModule::NameVector>(names_);
    built.store(true);
  }

 private:
  int& builds_;
  const PersonalityModule::NameVector names_;
};

// A part bound to `arch`.
std::unique_ptr<PMPicImp> BoundPart(const char* arch) {
  auto part = std::make_unique<PMPicImp>(nullptr, PM_BINDING_SUPPORTED_ONLY);
  part->verify_and_set_pm(arch, true);
  return part;
}

}  // namespace

TEST(ListIterator, PositionsLazilyAndComparesAsStated) {
  int builds = 0;
  const auto list =
      boost::make_shared<CountingList>(builds, PersonalityModule::NameVector{"a", "b", "c"});
  ListIterator begin(*list, ListIterator::Begin);
  const ListIterator end(*list, ListIterator::End);
  EXPECT_EQ(0, builds);  // nothing is built before an iterator is used
  // What *begin shows, then what a post-increment returns and leaves, then the rest, walked.
  std::string seen = (*begin).c_str();
  const ListIterator before = begin++;
  seen = seen + " " + before->c_str() + " " + begin->c_str() + " |";
  for (; begin != end; begin++) seen = seen + " " + begin->c_str();
  EXPECT_EQ("a a b | b c, built 1", seen + ", built " + std::to_string(builds));

  // An empty list: a begin iterator equals the end one; so do two iterators over no list.
  const auto empty = boost::make_shared<CountingList>(builds, PersonalityModule::NameVector{});
  EXPECT_TRUE(ListIterator(*empty, ListIterator::Begin) == ListIterator(*empty, ListIterator::End));
  EXPECT_TRUE(ListIterator() == ListIterator());
}

// Parts share one list per module and device, and one device table; a second walk reads no file;
// a device without package file, and a part without module, give empty ranges.
TEST(ListCache, PartsShareOneListPerModuleAndDeviceAndASecondWalkReadsNoFile) {
  const InstalledModules install(
      {{"fam", "CPLD", "xcd1,d1:xcd2,d2", "d1.pkg=tq144,cs49 d1.spd=-4,-5"}});

  const auto first = BoundPart("fam");
  const auto second = BoundPart("fam");
  EXPECT_EQ(PersonalityModule::GetDeviceList(*first), PersonalityModule::GetDeviceList(*second));
  EXPECT_EQ(PersonalityModule::GetPackageList(*first, "xcd1"),
            PersonalityModule::GetPackageList(*second, "xcd1"));
  EXPECT_NE(PersonalityModule::GetPackageList(*first, "xcd1"),
            PersonalityModule::GetSpeedList(*first, "xcd1"));
  PersonalityModule::Validator& validator = *first->validatorObject();
  EXPECT_EQ(&validator.devicelists(), &second->validatorObject()->devicelists());
  EXPECT_TRUE(validator.packagebegin("xcd2") == validator.packageend("xcd2"));
  EXPECT_FALSE(validator.isvalidpackage("xcd2", "tq144"));
  PMPicImp nameless(nullptr, PM_BINDING_SUPPORTED_ONLY);
  nameless.SetArchType("CPLD");
  PersonalityModule::Validator& none = *nameless.validatorObject();
  EXPECT_TRUE(none.devicebegin() == none.deviceend());
  EXPECT_TRUE(none.devicelists().empty());

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
  std::filesystem::remove(install.root.DataFile("fam", "d1.pkg"));
  std::filesystem::remove(install.root.DataFile("fam", "d1.spd"));
  EXPECT_EQ(expected, walkAll());
}
