// The library on many threads at once: key stores, result buffers, lists whose builds race, the
// speed and package readers, architecture libraries, messages and the platform's named objects.
// Every step checks its answers; run under ThreadSanitizer, these are the suite's race tests.
//
// What the library does not lock (the module registry, the alias registry, the pattern table) is
// filled on the main thread first: each thread gets PM_SPEC objects and parts constructed before
// the threads start, and uses only its own.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/make_shared.hpp>

#include "PMLists.h"
#include "PkgRder.h"
#include "SpdRder.h"
#include "Validator.h"
#include "pmlib/pmdlm.h"
#include "pmport/port_msg.h"
#include "pmport/port_thread.h"
#include "pmport/sfp_acd.h"
#include "pmport/ut_statobj.h"
// The spine fixture, the platform's test support and the part headers come with it.
#include "../lib/validation_fixture.h"

namespace {

using Names = std::vector<std::string>;

// How long a stress test may hammer: it stops after `iterations` steps on every thread or when
// `budget` has passed, whichever comes first, so that it ends by itself even under a sanitizer
// that slows the library down twenty-fold.
struct Bounds {
  int threads = 8;
  int iterations = 300;
  std::chrono::milliseconds budget{2500};
};

// Runs step(thread, iteration) on `bounds.threads` threads released at the same moment. A step
// returns whether every answer it got was right; a run must have no wrong answer and enough steps
// for the threads to have met. Returns the number of steps run, all threads together.
int RunOnThreads(const Bounds& bounds, const std::function<bool(int, int)>& step) {
  std::atomic<bool> go{false};
  std::atomic<int> steps{0}, wrong{0};
  const auto deadline = std::chrono::steady_clock::now() + bounds.budget;
  std::vector<std::thread> threads;
  for (int t = 0; t < bounds.threads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < bounds.iterations && std::chrono::steady_clock::now() < deadline; ++i) {
        if (!step(t, i)) wrong.fetch_add(1);
        steps.fetch_add(1);
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, wrong.load()) << "of " << steps.load() << " steps";
  // Every thread got past its first few steps, so the threads overlapped.
  EXPECT_GE(steps.load(), 4 * bounds.threads);
  return steps.load();
}

// One module of the shared installation: `devices` devices xc<name><d>,<name><d> (d = 1..), each
// with a package file of d packages ("pk<d>1" ...) and a speed file of d grades ("-1" ...); the
// first `deviceFiles` of them with a device file; its libraries copied from the plugin folder,
// library tp<x> giving the virtual entry x: its "route" ("tp<x>:route").
struct Module {
  std::string name, type, friendName;
  int devices, deviceFiles;
  Names libraries;
};

// "sa" (CPLD) with libraries tpa and tpb, tpa depending on tpb; "sb" (FPGA) without a device file
// for its third device, with libraries tpb, tpc and tpd; "sc" (CPLD) whose friend is "sa".
const std::vector<Module> kModules{{"sa", "CPLD", "sa", 3, 0, {"tpa", "tpb"}},
                                   {"sb", "FPGA", "sb", 3, 2, {"tpb", "tpc", "tpd"}},
                                   {"sc", "CPLD", "sa", 1, 0, {}}};

// The number of key files "keys<k>.acd" in every module's data folder, and the number of
// ":"-separated fields of their key LONG; field j is j + 1 letters long, so that consecutive
// lookups make the result buffers grow.
constexpr int kKeyFiles = 6;
constexpr int kLongFields = 40;

std::string LongField(int j) { return std::string(j + 1, static_cast<char>('a' + j % 26)); }

// prefix1, prefix2, ... prefix<count>: the names in a package or speed file.
Names Numbered(const std::string& prefix, int count) {
  Names names;
  for (int k = 1; k <= count; ++k) names.push_back(prefix + std::to_string(k));
  return names;
}

// Every part (device + package + speed) a module offers: an FPGA lists only devices with a file.
Names Parts(const Module& module) {
  const int listed = module.type == "FPGA" ? module.deviceFiles : module.devices;
  Names parts;
  for (int d = 1; d <= listed; ++d)
    for (int p = 1; p <= d; ++p)
      for (int s = 1; s <= d; ++s)
        parts.push_back("xc" + module.name + std::to_string(d) + "pk" + std::to_string(d) +
                        std::to_string(p) + "-" + std::to_string(s));
  return parts;
}

// The modules, written to a fresh temporary folder made the installation path.
class Installation {
 public:
  Installation() {
    for (const Module& module : kModules) Write(module);
    root_.File("sa/data/libtpa.acd", "DEPEND = tpb\n");
    Port::KorvanPath::Set({path()});
  }
  const std::string& path() const { return root_.path(); }

 private:
  void Write(const Module& module) {
    const std::string& name = module.name;
    std::string table, longValue, ventries = "DEVICE_FORMAT = #^x?c?" + name + "[0-9]+\n";
    for (int d = 1; d <= module.devices; ++d) {
      const std::string internal = name + std::to_string(d);
      table += (d > 1 ? ":xc" : "xc") + internal + "," + internal;
      validationtest::DataFile(root_, name, internal + ".pkg",
                               Numbered("pk" + std::to_string(d), d));
      validationtest::DataFile(root_, name, internal + ".spd", Numbered("-", d));
      if (d <= module.deviceFiles) validationtest::DeviceFile(root_, name, internal);
    }
    for (const std::string& library : module.libraries)
      ventries += "VENTRY_" + library.substr(2) + " = route," + library + "\n";
    root_.Module(name,
                 validationtest::Module(name, module.type, table, ventries, module.friendName));
    for (int j = 0; j < kLongFields; ++j) longValue += (j ? ":" : "") + LongField(j);
    for (int k = 0; k < kKeyFiles; ++k)
      root_.File(name + "/data/keys" + std::to_string(k) + ".acd",
                 "ID = " + name + ":" + std::to_string(k) + "\nOWN_" + name +
                     " = yes\nLONG = " + longValue + "\n");
    for (const std::string& library : module.libraries)
      root_.Library(spinetest::PlatformDir(name, "lib"), library);
  }

  spinetest::Root root_;
};

// The module a thread works on in a given iteration: threads start apart and meet as they go.
std::size_t ModuleOf(int thread, int iteration) { return (thread + iteration) % kModules.size(); }

// For every thread, one object of type T per module, constructed here on the calling thread.
template <typename T, typename Make>
std::vector<std::vector<std::unique_ptr<T>>> PerThreadPerModule(int threads, const Make& make) {
  std::vector<std::vector<std::unique_ptr<T>>> objects(threads);
  for (auto& own : objects)
    for (const Module& module : kModules) own.push_back(make(module.name));
  return objects;
}

std::unique_ptr<PM_SPEC> Spec(const std::string& module) {
  return std::make_unique<PM_SPEC>(module.c_str(), PM_BINDING_SUPPORTED_ONLY);
}

template <typename Iterator>
Names Strings(Iterator name, const Iterator& end) {
  Names names;
  for (; name != end; ++name) names.push_back((*name).c_str());
  return names;
}

// Whether walking the validator's lists of the part gives every part of `module`: by name through
// the iterators, or through the device table (made once, perhaps by two threads at once).
bool WalkGivesEveryPart(PMPicImp& part, const Module& module, bool byTable) {
  PersonalityModule::Validator& lists = *part.validatorObject();
  Names parts;
  const auto add = [&parts](const std::string& device, const Names& packages, const Names& speeds) {
    for (const std::string& package : packages)
      for (const std::string& speed : speeds) parts.push_back(device + package + speed);
  };
  if (byTable) {
    for (const PersonalityModule::DeviceLists& device : lists.devicelists())
      add(device.device->c_str(), Strings(device.packages.begin(), device.packages.end()),
          Strings(device.speeds.begin(), device.speeds.end()));
  } else {
    for (const std::string& device : Strings(lists.devicebegin(), lists.deviceend())) {
      const char* name = device.c_str();
      add(device, Strings(lists.packagebegin(name), lists.packageend(name)),
          Strings(lists.speedbegin(name), lists.speedend(name)));
    }
  }
  return parts == Parts(module);
}

// Each step makes a store of a key file and checks its answers, the same and different files on
// different threads; one store in three bypasses the cache, a miss that reads the file again.
// A C-string result is only safe to read while no other thread makes a C-string lookup, so the
// C-string lookups check only what each call decides under the buffers' lock: a field that exists
// gives a buffer, one that does not gives null. The fields grow and shrink, so buffers are
// replaced while other threads fill theirs.
TEST(StressKeyStores, StoresAndTheirResultBuffersAnswerForTheirOwnFile) {
  Installation installation;
  const Bounds bounds{8, 1000};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  RunOnThreads(bounds, [&](int t, int i) {
    const std::string& module = kModules[ModuleOf(t, i)].name;
    const int file = (t * 7 + i) % kKeyFiles;
    const bool withFriends = i % 2 == 0;
    const std::string name = "keys" + std::to_string(file);
    PM_DEVKEY store(name.c_str(), specs[t][ModuleOf(t, i)].get(), 0, withFriends, i % 3 != 0);
    // "sc" takes "sa" as its friend: with friends its store also holds the friend's keys.
    const bool friendKeys = withFriends && module == "sc";
    bool right =
        store.get_validity() == 1 && store.GetStringByKey("ID", ':', 0, 0, 0) == module.c_str() &&
        store.GetInt32ByKey("ID", ":", 1, nullptr, 0) == file &&
        store.GetStringByKey("LONG", ':', kLongFields - 1, 0, 0) ==
            LongField(kLongFields - 1).c_str() &&
        store.GetStringByKey("OWN_sa", 0, 0, 0, 0).empty() == (module != "sa" && !friendKeys);
    for (int j = 0; j < 8; ++j) {
      const short field =
          static_cast<short>((i * 5 + j * 11 + t) % (kLongFields + 4));  // some past the last
      right &= (store.getstringbykey("LONG", ":", field, nullptr, 0) != nullptr) ==
               (field < kLongFields);
      right &= store.getstringbykey("ABSENT", ":", 0, nullptr, 0) == nullptr;
      right &= store.getstringbystring("x:yy", ":", 1, ",", 0) != nullptr;
    }
    return right;
  });
}

// Half the threads walk the device, package and speed lists of every module through their own
// parts, going through the modules together so that their first walks race to build the same
// lists and device tables; the other half read the speed and package files those builds read at
// the same time, some of them missing. Every walk lists every part, every reader sees the whole
// file.
TEST(StressLists, WalksWhoseBuildsRaceAndReadersBesideThemSeeEverything) {
  Installation installation;
  const Bounds bounds{8, 500};
  const auto parts = PerThreadPerModule<PMPicImp>(bounds.threads, [](const std::string& module) {
    auto part = std::make_unique<PMPicImp>(nullptr, PM_BINDING_SUPPORTED_ONLY);
    part->verify_and_set_pm(module.c_str(), true);
    return part;
  });
  RunOnThreads(bounds, [&](int t, int i) {
    const std::size_t together = i % kModules.size();
    if (t % 2 == 0) return WalkGivesEveryPart(*parts[t][together], kModules[together], i % 2 == 0);
    const Module& module = kModules[ModuleOf(t, i)];
    const int d = 1 + i % 3;
    const std::string file =
        installation.path() + "/" + module.name + "/data/" + module.name + std::to_string(d);
    const PersonalityModule::SpdRder speeds(file + ".spd");
    const PersonalityModule::PkgRder packages(file + ".pkg");
    const PersonalityModule::SpdRder copy = speeds;  // handles travel between threads
    const bool written = d <= module.devices;
    return copy.loaded() == written && packages.loaded() == written &&
           Strings(copy.begin(), copy.end()) == Numbered("-", written ? d : 0) &&
           Strings(packages.begin(), packages.end()) ==
               Numbered("pk" + std::to_string(d), written ? d : 0);
  });
}

// A list that takes its time over each build and counts them, so that threads wanting it meet.
class SlowList : public PersonalityModule::BaseList {
 public:
  void build() override {
    builds.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    items = boost::make_shared<PersonalityModule::NameVector>(PersonalityModule::NameVector{"a"});
    built.store(true);
  }
  std::atomic<int> builds{0};
};

// Threads walk the same lists at once, each list new to all of them: each is built once.
TEST(StressLists, EachListIsBuiltOnceHoweverManyThreadsWalkIt) {
  const Bounds bounds{8, 20};
  std::vector<boost::shared_ptr<SlowList>> lists;
  for (int i = 0; i < bounds.iterations; ++i) lists.push_back(boost::make_shared<SlowList>());
  RunOnThreads(bounds, [&lists](int, int i) {
    using PersonalityModule::ListIterator;
    return Strings(ListIterator(*lists[i], ListIterator::Begin),
                   ListIterator(*lists[i], ListIterator::End)) == Names{"a"};
  });
  for (const auto& list : lists) EXPECT_LE(list->builds.load(), 1);
}

// Threads resolve virtual entries of two modules: libraries of their own, one library both
// modules name, and one that loads a dependency first.
TEST(StressLibraries, VirtualEntriesOfTheSameAndDifferentLibraries) {
  Installation installation;
  const Bounds bounds{8, 300};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  const std::vector<std::pair<std::size_t, std::string>> entries{{0, "a"}, {0, "b"}, {1, "b"},
                                                                 {1, "c"}, {1, "d"}, {0, "c"}};
  RunOnThreads(bounds, [&](int t, int i) {
    const auto& [module, letter] = entries[(t + i) % entries.size()];
    PM_DLM dlm(specs[t][module].get());
    const PM_DLM::EntryPoint function = dlm.get_ventrypoint(letter.c_str(), nullptr);
    if (module == 0 && letter == "c") return function == nullptr;  // "sa" has no entry c
    return function && reinterpret_cast<const char* (*)()>(function)() == "tp" + letter + ":route";
  });
  EXPECT_EQ((Names{"tpa", "tpb", "tpc", "tpd"}), PM_DLMMGR::Instance().getnames());
}

// Messages issued on many threads reach the handler whole, one at a time, as each would alone.
// The handler keeps no lock of its own: were it entered on two threads at once, the sanitizer
// would see its writes race.
TEST(StressMessages, DeliveredWholeAndOneAtATime) {
  Installation installation;
  const Bounds bounds{8, 1000};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  std::vector<std::unique_ptr<PM_DEVKEY>> stores;
  std::vector<std::string> alone;  // the message of each thread's lookup made before the threads
  const auto lookUp = [&stores](int t) {
    const std::string key = "MISSING_" + std::to_string(t);
    return stores[t]->GetInt32ByKeyFatal(key.c_str(), nullptr, 0, nullptr, 0);
  };
  for (const auto& own : specs) {
    stores.push_back(std::make_unique<PM_DEVKEY>("keys2", own[1].get(), 0, 0, 1));
    const pmtest::MessageCapture capture;
    lookUp(static_cast<int>(alone.size()));
    alone.push_back(testing::PrintToString(capture.messages().at(0)));
  }
  std::atomic<bool> inside{false};
  int overlaps = 0;
  std::map<std::string, int> received;  // each message described: how often it came
  Port::SetMsgHandler([&](const Port::Message& message) {
    if (inside.exchange(true)) ++overlaps;
    ++received[testing::PrintToString(message)];
    inside = false;
  });
  std::vector<std::atomic<int>> issued(bounds.threads);
  const int steps = RunOnThreads(bounds, [&](int t, int) {
    const int value = lookUp(t);
    Port_MsgManData::debugStub("stress %s\n", "trace");
    issued[t].fetch_add(1);
    return value == 0;
  });
  Port::SetMsgHandler(nullptr);
  EXPECT_EQ(0, overlaps);
  std::map<std::string, int> expected{
      {testing::PrintToString(Port::Message{Port::MsgKind::Debug, 0, "", "", 0, "stress trace\n"}),
       steps}};
  for (int t = 0; t < bounds.threads; ++t)
    if (issued[t].load() > 0) expected[alone[t]] = issued[t].load();
  EXPECT_EQ(expected, received);
}

// The named objects of the platform layer register and leave on many threads at once; while an
// object lives it is found by its name, the first registered of a name before a second.
TEST(StressPlatform, NamedObjectsAreFoundWhileTheyLive) {
  RunOnThreads({8, 1000}, [](int t, int) {
    const std::string name = "object" + std::to_string(t);
    bool right = true;
    {
      const UT_STATOBJ first(name.c_str()), second(name.c_str());
      right &= UT_STATOBJ::Find(name.c_str()) == &first;
      right &= std::string(second.getname()) == name;
    }
    return right && UT_STATOBJ::Find(name.c_str()) == nullptr;
  });
}

// A reader inheriting along a chain longer than the layers it keeps apart, walked by many threads
// at once: every walk sees every key once, with the nearest value.
TEST(StressPlatform, ReaderInheritingAlongALongChainWalkedAtOnce) {
  constexpr int kChain = 20;
  const pmtest::TempDir dir;
  std::vector<std::unique_ptr<StaticAcdRead>> files, readers(kChain);
  for (int i = kChain - 1; i >= 0; --i) {
    const std::string n = std::to_string(i), path = dir / ("r" + n + ".acd");
    pmtest::WriteFile(path, "K" + n + " = " + n + "\nS = " + n + "\n");
    files.push_back(std::make_unique<StaticAcdRead>(path.c_str(), nullptr, nullptr, 1, 0, 1));
    readers[i] = std::make_unique<StaticAcdRead>(*files.back(), "r.acd", nullptr, nullptr, 1);
    if (i + 1 < kChain) readers[i]->inheritabsent(*readers[i + 1]);
  }
  std::string expected = "K0=0 S=0 ";
  for (int i = 1; i < kChain; ++i)
    expected += "K" + std::to_string(i) + "=" + std::to_string(i) + " ";
  const StaticAcdRead& first = *readers[0];
  RunOnThreads({8, 100}, [&](int, int) {
    std::string walk;
    for (const Sfp_ACD::KeyValue& entry : first)
      walk += std::string(entry.first.get()) + "=" + entry.second.get() + " ";
    return walk == expected && first.size() == kChain + 1u && !first.getkeyeddata("K20");
  });
}

// The platform's mutex reports a second lock on the thread holding it, and the guard turns that
// into an exception rather than a deadlock.
TEST(StressPlatform, GuardRelockingOnItsOwnThreadThrows) {
  Port_ThrMutex mutex;
  const Port::ThrGuard<Port_ThrMutex> outer(mutex);
  EXPECT_THROW(Port::ThrGuard<Port_ThrMutex>{mutex}, Port_ThrException::Exception);
}

}  // namespace
