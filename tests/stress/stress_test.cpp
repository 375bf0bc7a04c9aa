// The library on many threads at once: key stores, result buffers, lists whose builds race, the
// speed and package readers, architecture libraries and messages. Every step checks its answers.
//
// What the library does not lock (the module registry, the alias registry, the pattern table) is
// filled on the main thread first: each thread gets PM_SPEC objects and parts constructed before
// the threads start, and uses only its own.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "PkgRder.h"
#include "SpdRder.h"
#include "Validator.h"
#include "baspmpic.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmdlm.h"
#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"
#include "pmport/port_msg.h"
#include "stress.h"

using stresstest::Bounds;
using stresstest::ExpectAllRight;
using stresstest::Installation;
using stresstest::RunOnThreads;

namespace {

const std::vector<std::string>& Modules() { return Installation::Modules(); }

// The module a thread works on in a given iteration: threads start apart and meet as they go.
const std::string& ModuleOf(int thread, int iteration) {
  return Modules()[(thread + iteration) % Modules().size()];
}

// For every thread, one object of type T per module, constructed here on the calling thread.
template <typename T, typename Make>
std::vector<std::vector<std::unique_ptr<T>>> PerThreadPerModule(int threads, const Make& make) {
  std::vector<std::vector<std::unique_ptr<T>>> objects(threads);
  for (auto& own : objects) {
    for (const std::string& module : Modules()) own.push_back(make(module));
  }
  return objects;
}

std::unique_ptr<PM_SPEC> Spec(const std::string& module) {
  return std::make_unique<PM_SPEC>(module.c_str(), PM_BINDING_SUPPORTED_ONLY);
}

std::unique_ptr<PMPicImp> Part(const std::string& module) {
  auto part = std::make_unique<PMPicImp>(nullptr, PM_BINDING_SUPPORTED_ONLY);
  part->verify_and_set_pm(module.c_str(), true);
  return part;
}

std::size_t IndexOf(const std::string& module) {
  for (std::size_t m = 0; m < Modules().size(); ++m) {
    if (Modules()[m] == module) return m;
  }
  return 0;
}

std::vector<std::string> Names(PersonalityModule::ListIterator name,
                               const PersonalityModule::ListIterator& end) {
  std::vector<std::string> names;
  for (; name != end; ++name) names.push_back(name->c_str());
  return names;
}

template <typename Reader>
std::vector<std::string> Strings(const Reader& reader) {
  std::vector<std::string> names;
  for (const auto& name : reader) names.push_back(name.c_str());
  return names;
}

// Every part the module offers, walking its validator's device, package and speed lists.
std::vector<std::string> WalkParts(PMPicImp& part) {
  PersonalityModule::Validator& lists = *part.validatorObject();
  std::vector<std::string> parts;
  for (const std::string& device : Names(lists.devicebegin(), lists.deviceend())) {
    const std::vector<std::string> speeds =
        Names(lists.speedbegin(device.c_str()), lists.speedend(device.c_str()));
    for (const std::string& package :
         Names(lists.packagebegin(device.c_str()), lists.packageend(device.c_str()))) {
      for (const std::string& speed : speeds) parts.push_back(device + package + speed);
    }
  }
  return parts;
}

using PartsOfThreads = std::vector<std::vector<std::unique_ptr<PMPicImp>>>;

// Whether the walk of the thread's own part of `module` gives every part the module offers.
bool WalkGivesEveryPart(const PartsOfThreads& parts, int thread, const std::string& module) {
  return WalkParts(*parts[thread][IndexOf(module)]) == Installation::Parts(module);
}

}  // namespace

TEST(StressKeyStores, StoresOfTheSameAndDifferentFilesAnswerForTheirOwnFile) {
  Installation installation;
  const Bounds bounds{8, 1000};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  const auto outcome = RunOnThreads(bounds, [&](int t, int i) {
    const std::string& module = ModuleOf(t, i);
    const int file = (t * 7 + i) % Installation::kKeyFiles;
    // One store in three bypasses the cache: a miss that reads the file again.
    const bool cached = i % 3 != 0;
    const bool withFriends = i % 2 == 0;
    const std::string name = "keys" + std::to_string(file);
    PM_DEVKEY store(name.c_str(), specs[t][IndexOf(module)].get(), 0, withFriends, cached);
    const int last = Installation::kLongFields - 1;
    // "sc" takes "sa" as its friend: with friends its store also holds the friend's keys.
    const bool friendKeys = withFriends && module == "sc";
    return store.get_validity() == 1 &&
           store.GetStringByKey("ID", ':', 0, 0, 0) == module.c_str() &&
           store.GetInt32ByKey("ID", ":", 1, nullptr, 0) == file &&
           store.GetStringByKey("LONG", ':', last, 0, 0) == Installation::LongField(last).c_str() &&
           store.GetStringByKey("OWN_sa", 0, 0, 0, 0).empty() == (module != "sa" && !friendKeys);
  });
  ExpectAllRight(outcome, bounds);
}

// A C-string result is only safe to read while no other thread makes a C-string lookup, so the
// threads check what each call decides under the buffers' lock: a field that exists gives a
// buffer, one that does not gives null. The fields grow and shrink, so buffers are replaced
// while other threads fill theirs.
TEST(StressKeyStores, CStringLookupsOnTheRotatingBuffersFromManyThreads) {
  Installation installation;
  const Bounds bounds{8, 1000};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  std::vector<std::unique_ptr<PM_DEVKEY>> stores;
  for (int t = 0; t < bounds.threads; ++t) {
    stores.push_back(std::make_unique<PM_DEVKEY>("keys1", specs[t][0].get(), 0, 0, 1));
  }
  const auto outcome = RunOnThreads(bounds, [&](int t, int i) {
    PM_DEVKEY& store = *stores[t];
    bool right = true;
    for (int j = 0; j < 8; ++j) {
      const int beyond = Installation::kLongFields + 4;  // some fields past the last
      const short field = static_cast<short>((i * 5 + j * 11 + t) % beyond);
      const bool exists = field < Installation::kLongFields;
      right &= (store.getstringbykey("LONG", ":", field, nullptr, 0) != nullptr) == exists;
      right &= store.getstringbykey("ABSENT", ":", 0, nullptr, 0) == nullptr;
      right &= store.getstringbystring("x:yy", ":", 1, ",", 0) != nullptr;
    }
    return right;
  });
  ExpectAllRight(outcome, bounds);
}

// Each thread walks the device, package and speed lists of every module through its own parts;
// the first walks of the threads race to build the same lists.
TEST(StressLists, WalksWhoseBuildsRaceListEveryPart) {
  Installation installation;
  const Bounds bounds{8, 200};
  const auto parts = PerThreadPerModule<PMPicImp>(bounds.threads, Part);
  const auto outcome = RunOnThreads(bounds, [&](int t, int i) {
    return WalkGivesEveryPart(parts, t, ModuleOf(t, i));
  });
  ExpectAllRight(outcome, bounds);
}

// Speed and package readers on the files that the list builds of other threads read at the same
// time: every reader sees the whole file.
TEST(StressReaders, SpeedAndPackageReadersBesideListBuilds) {
  Installation installation;
  const Bounds bounds{8, 500};
  const auto parts = PerThreadPerModule<PMPicImp>(bounds.threads, Part);
  const auto outcome = RunOnThreads(bounds, [&](int t, int i) {
    const std::string& module = ModuleOf(t, i);
    if (t % 2 == 0) {
      return i % 10 != 0 || WalkGivesEveryPart(parts, t, module);
    }
    const int d = 1 + i % 3;
    const std::string file = installation.path() + "/" + module + "/data/" + module +
                             std::to_string(d);
    const PersonalityModule::SpdRder speeds(file + ".spd");
    const PersonalityModule::PkgRder packages(file + ".pkg");
    const PersonalityModule::SpdRder copy = speeds;  // handles travel between threads
    const bool written = module != "sc" || d == 1;
    std::vector<std::string> expectedSpeeds, expectedPackages;
    for (int k = 1; written && k <= d; ++k) {
      expectedSpeeds.push_back("-" + std::to_string(k));
      expectedPackages.push_back("pk" + std::to_string(d) + std::to_string(k));
    }
    return copy.loaded() == written && packages.loaded() == written &&
           Strings(copy) == expectedSpeeds && Strings(packages) == expectedPackages;
  });
  ExpectAllRight(outcome, bounds);
}

// Threads resolve virtual entries of two modules: libraries of their own, one library both
// modules name, and one that loads a dependency first.
TEST(StressLibraries, VirtualEntriesOfTheSameAndDifferentLibraries) {
  Installation installation;
  const Bounds bounds{8, 300};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  struct Entry {
    std::size_t module;
    const char* function;
    const char* answer;
  };
  const std::vector<Entry> entries{{0, "a", "tpa:route"}, {0, "b", "tpb:place"},
                                   {1, "b", "tpb:place"}, {1, "c", "tpc:route"},
                                   {1, "d", "tpd:place"}, {0, "c", nullptr}};
  const auto outcome = RunOnThreads(bounds, [&](int t, int i) {
    const Entry& entry = entries[(t + i) % entries.size()];
    PM_DLM dlm(specs[t][entry.module].get());
    const PM_DLM::EntryPoint function = dlm.get_ventrypoint(entry.function, nullptr);
    if (!entry.answer) return function == nullptr;
    return function && std::string(reinterpret_cast<const char* (*)()>(function)()) == entry.answer;
  });
  ExpectAllRight(outcome, bounds);
  EXPECT_EQ((std::vector<std::string>{"tpa", "tpb", "tpc", "tpd"}),
            PM_DLMMGR::Instance().getnames());
}

// Messages issued on many threads reach the handler whole, one at a time. The handler keeps no
// lock of its own: were it entered on two threads at once, the sanitizer would see its writes race.
TEST(StressMessages, DeliveredWholeAndOneAtATime) {
  Installation installation;
  const Bounds bounds{8, 1000};
  const auto specs = PerThreadPerModule<PM_SPEC>(bounds.threads, Spec);
  std::vector<std::unique_ptr<PM_DEVKEY>> stores;
  for (int t = 0; t < bounds.threads; ++t) {
    stores.push_back(std::make_unique<PM_DEVKEY>("keys2", specs[t][1].get(), 0, 0, 1));
  }
  const std::string location = stores[0]->getlocation();
  std::atomic<bool> inside{false};
  int overlaps = 0;
  std::vector<int> fatalPerThread(bounds.threads, 0);
  int debugs = 0;
  int strangers = 0;
  Port::SetMsgHandler([&](const Port::Message& message) {
    if (inside.exchange(true)) ++overlaps;
    if (message.kind == Port::MsgKind::Debug && message.text == "stress trace\n") {
      ++debugs;
    } else if (message.kind == Port::MsgKind::Fatal && message.code == 1) {
      bool known = false;
      for (int t = 0; t < bounds.threads; ++t) {
        const std::string expected = "search for key MISSING_" + std::to_string(t) +
                                     " in acd file " + location +
                                     " encountered NULL ptr.Make sure this file is correct\n";
        if (message.text == expected) {
          ++fatalPerThread[t];
          known = true;
        }
      }
      strangers += known ? 0 : 1;
    } else {
      ++strangers;
    }
    inside = false;
  });
  std::vector<std::atomic<int>> issued(bounds.threads);
  const auto outcome = RunOnThreads(bounds, [&](int t, int) {
    const std::string key = "MISSING_" + std::to_string(t);
    const int value = stores[t]->GetInt32ByKeyFatal(key.c_str(), nullptr, 0, nullptr, 0);
    Port_MsgManData::debugStub("stress %s\n", "trace");
    issued[t].fetch_add(1);
    return value == 0;
  });
  Port::SetMsgHandler(nullptr);
  ExpectAllRight(outcome, bounds);
  EXPECT_EQ(0, overlaps);
  EXPECT_EQ(0, strangers);
  EXPECT_EQ(outcome.steps, debugs);
  for (int t = 0; t < bounds.threads; ++t) EXPECT_EQ(issued[t].load(), fatalPerThread[t]);
}
