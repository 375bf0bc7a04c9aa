#include "stress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "pmport/port_env.h"
#include "pmport/port_path.h"

namespace stresstest {

Outcome RunOnThreads(const Bounds& bounds, const std::function<bool(int, int)>& step) {
  std::atomic<bool> go{false};
  std::atomic<int> steps{0};
  std::atomic<int> wrong{0};
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
  return {steps.load(), wrong.load()};
}

void ExpectAllRight(const Outcome& outcome, const Bounds& bounds) {
  EXPECT_EQ(0, outcome.wrong) << "of " << outcome.steps << " steps";
  // Every thread got past its first few steps, so the threads overlapped.
  EXPECT_GE(outcome.steps, 4 * bounds.threads);
}

namespace {

std::string Platform() { return Port_Env::GetPlatformPath(); }

std::string Numbered(const std::string& prefix, int n) { return prefix + std::to_string(n); }

std::vector<pmtest::Segment> Segments(const std::string& prefix, int count) {
  std::vector<pmtest::Segment> segments;
  for (int k = 1; k <= count; ++k) segments.push_back({Numbered(prefix, k), 0, "data"});
  return segments;
}

std::string KeyFile(const std::string& module, int k) {
  std::string longValue;
  for (int j = 0; j < Installation::kLongFields; ++j) {
    longValue += (j ? ":" : "") + Installation::LongField(j);
  }
  return "ID = " + module + ":" + std::to_string(k) + "\nOWN_" + module + " = yes\nLONG = " +
         longValue + "\n";
}

}  // namespace

const std::vector<std::string>& Installation::Modules() {
  static const std::vector<std::string> modules{"sa", "sb", "sc"};
  return modules;
}

std::string Installation::LongField(int j) {
  return std::string(j + 1, static_cast<char>('a' + j % 26));
}

std::vector<std::string> Installation::Devices(const std::string& module) {
  const int listed = module == "sc" ? 1 : module == "sb" ? 2 : 3;
  std::vector<std::string> devices;
  for (int d = 1; d <= listed; ++d) devices.push_back(Numbered("xc" + module, d));
  return devices;
}

std::vector<std::string> Installation::Parts(const std::string& module) {
  std::vector<std::string> parts;
  int d = 0;
  for (const std::string& device : Devices(module)) {
    ++d;
    for (int p = 1; p <= d; ++p) {
      for (int s = 1; s <= d; ++s) {
        parts.push_back(device + Numbered("pk" + std::to_string(d), p) + Numbered("-", s));
      }
    }
  }
  return parts;
}

Installation::Installation() {
  WriteModule("sa", "CPLD", "", 3, 0, {"tpa", "tpb"},
              "VENTRY_a = route,tpa\nVENTRY_b = place,tpb\n");
  pmtest::WriteFile(dir_ / "sa/data/libtpa.acd", "DEPEND = tpb\n");
  WriteModule("sb", "FPGA", "", 3, 2, {"tpb", "tpc", "tpd"},
              "VENTRY_b = place,tpb\nVENTRY_c = route,tpc\nVENTRY_d = place,tpd\n");
  WriteModule("sc", "CPLD", "sa", 1, 0, {}, "");
  Port::KorvanPath::Set({path()});
}

void Installation::WriteModule(const std::string& module, const std::string& type,
                               const std::string& friendName, int devices, int deviceFiles,
                               const std::vector<std::string>& libraries,
                               const std::string& ventries) {
  const std::string data = dir_ / (module + "/data/");
  std::string table;
  for (int d = 1; d <= devices; ++d) {
    const std::string internal = Numbered(module, d);
    table += (d > 1 ? ":" : "") + Numbered("xc" + module, d) + "," + internal;
    pmtest::WriteSegmentedFile(data + internal + ".pkg", Segments("pk" + std::to_string(d), d));
    pmtest::WriteSegmentedFile(data + internal + ".spd", Segments("-", d));
    if (d <= deviceFiles) pmtest::WriteFile(data + internal + ".nph", "device\n");
  }
  pmtest::WriteFile(data + module + ".acd",
                    "ARCH_NAME = " + module + "\nARCH_FRIEND = " +
                        (friendName.empty() ? module : friendName) + "\nARCH_TYPE = " + type +
                        "\nVENDOR = Acme\nFAMILY = " + module +
                        "\nSUPPORT_MODE = PHYSICAL\nBASE_MODE = FALSE\nDEVICE_INTERNAL = " + table +
                        "\nDEVICE_FORMAT = #^x?c?" + module + "[0-9]+\n" + ventries);
  for (int k = 0; k < kKeyFiles; ++k) {
    pmtest::WriteFile(data + Numbered("keys", k) + ".acd", KeyFile(module, k));
  }
  const std::string libDir = dir_ / (module + "/lib/" + Platform() + "/");
  pmtest::MakeDirs(libDir);
  for (const std::string& name : libraries) {
    std::filesystem::copy_file(std::string(PMTEST_PLUGIN_DIR) + "/lib" + name + ".so",
                               libDir + "lib" + name + ".so",
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace stresstest
