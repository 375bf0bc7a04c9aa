// Running one step on many threads for a bounded time, and the installation the stress tests share.
#ifndef PMLIB_TESTS_STRESS_STRESS_H
#define PMLIB_TESTS_STRESS_STRESS_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "pmtest.h"

namespace stresstest {

// How long a stress test may hammer: it stops after `iterations` steps on every thread or when
// `budget` has passed, whichever comes first, so that it ends by itself even under a sanitizer
// that slows the library down twenty-fold.
struct Bounds {
  int threads = 8;
  int iterations = 300;
  std::chrono::milliseconds budget{2500};
};

struct Outcome {
  int steps = 0;  // steps run, all threads together
  int wrong = 0;  // steps that gave a wrong answer
};

// Runs step(thread, iteration) on `bounds.threads` threads released at the same moment. A step
// returns whether every answer it got was right.
Outcome RunOnThreads(const Bounds& bounds, const std::function<bool(int, int)>& step);

// What a successful run must show: no wrong answer, and enough steps for the threads to have met.
void ExpectAllRight(const Outcome& outcome, const Bounds& bounds);

// The shared installation, in a fresh temporary folder made the installation path:
//  - "sa" (CPLD): devices xcsa<d>,sa<d> for d = 1..3, each with a package file of d packages
//    ("pk<d>1" ...) and a speed file of d grades ("-1" ...); its libraries tpa and tpb, tpa
//    depending on tpb.
//  - "sb" (FPGA): devices xcsb1, xcsb2 and xcsb3, device files only for the first two, package
//    and speed files as for "sa"; its libraries tpb, tpc and tpd.
//  - "sc" (CPLD, friend "sa"): the device xcsc1 with its files.
//  - in each module's data folder, key files "keys<k>.acd" (k = 0..kKeyFiles-1).
class Installation {
 public:
  static constexpr int kKeyFiles = 6;
  // The number of ":"-separated fields of the key LONG in every key file; field j is j + 1
  // letters long, so that consecutive lookups make the result buffers grow.
  static constexpr int kLongFields = 40;

  Installation();
  const std::string& path() const { return dir_.path(); }

  static const std::vector<std::string>& Modules();
  // The devices a module lists, and every part (device + package + speed) it offers.
  static std::vector<std::string> Devices(const std::string& module);
  static std::vector<std::string> Parts(const std::string& module);
  // Field j of the key LONG.
  static std::string LongField(int j);

 private:
  void WriteModule(const std::string& module, const std::string& type,
                   const std::string& friendName, int devices, int deviceFiles,
                   const std::vector<std::string>& libraries, const std::string& ventries);

  pmtest::TempDir dir_;
};

}  // namespace stresstest

#endif  // PMLIB_TESTS_STRESS_STRESS_H
