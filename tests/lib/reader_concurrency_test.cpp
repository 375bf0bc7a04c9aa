// The speed and package readers on many threads at once: every thread sees whole, equal records.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "PkgRder.h"
#include "SpdRder.h"
#include "pmtest.h"
#include "reader_files.h"

namespace {

using PersonalityModule::PkgRder;
using PersonalityModule::SpdRder;
using readertest::Listed;
using readertest::WriteSegments;
using Names = std::vector<std::string>;

constexpr int kThreads = 8;
constexpr int kRounds = 200;
constexpr int kDevices = 5;

std::string Device(int index) { return "ab" + std::to_string(10 * (index + 1)) + "e"; }

// Device i has grades -1 .. -(i+1) plus "-0", and packages p0 .. p(i); the last device has no
// files at all.
void WriteInstallation(const pmtest::TempDir& dir) {
  for (int i = 0; i + 1 < kDevices; ++i) {
    readertest::Segments speeds{{"-0", 0}};
    readertest::Segments packages;
    for (int k = 0; k <= i; ++k) {
      speeds.push_back({"-" + std::to_string(k + 1), 0});
      packages.push_back({"p" + std::to_string(k), 0});
    }
    WriteSegments(dir / (Device(i) + ".spd"), speeds);
    WriteSegments(dir / (Device(i) + ".pkg"), packages);
  }
}

bool SpeedsAsWritten(const SpdRder& reader, int device) {
  if (device + 1 == kDevices) return !reader.loaded() && reader.begin() == reader.end();
  Names expected;
  for (int k = 0; k <= device; ++k) expected.push_back("-" + std::to_string(k + 1));
  return reader.loaded() && reader.minspd() && !reader.spd411() && Listed(reader) == expected;
}

bool PackagesAsWritten(const PkgRder& reader, int device) {
  if (device + 1 == kDevices) return !reader.loaded() && reader.begin() == reader.end();
  Names expected;
  for (int k = 0; k <= device; ++k) expected.push_back("p" + std::to_string(k));
  return reader.loaded() && Listed(reader) == expected;
}

TEST(ReaderConcurrency, ThreadsReadingTheSameAndDifferentFilesAgree) {
  pmtest::TempDir dir;
  WriteInstallation(dir);
  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        // Threads start on different devices and meet on the same ones as they go.
        const int device = (t + round) % kDevices;
        const SpdRder speeds(dir / (Device(device) + ".spd"));
        const PkgRder packages(dir / (Device(device) + ".pkg"));
        const SpdRder copy = speeds;  // handles are copied and dropped on any thread
        if (!SpeedsAsWritten(copy, device) || !PackagesAsWritten(packages, device)) ++wrong;
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
