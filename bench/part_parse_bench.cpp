// The cost of making a part from a part name on the sample installation: the first parse of a
// process (which lists the installation and reads each definition), a repeated parse of an
// architecture already found (through the pattern table: no definition read, no expression
// compiled), and a name that no architecture takes (the whole installation searched each time).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pmlib/pmlib.h"

namespace {

// The sample installation, unless KORVAN_PATH names another one.
void UseInstallation() {
  const char* path = std::getenv("KORVAN_PATH");
  if (!path || !*path) Port::KorvanPath::Set({PMLIB_BENCH_SAMPLE});
}

void ParseOnce(const char* name) {
  const PM_PIC part(name, 1, PM_BINDING_SUPPORTED_ONLY);
  benchmark::DoNotOptimize(part.get_depth());
}

// One iteration only: later ones would be repeated parses.
void BM_FirstParse(benchmark::State& state) {
  UseInstallation();
  for (auto _ : state) ParseOnce("xcga20ff324-2i");
}
BENCHMARK(BM_FirstParse)->Iterations(1)->Unit(benchmark::kMicrosecond);

void BM_RepeatedParse(benchmark::State& state) {
  UseInstallation();
  ParseOnce("xcga20ff324-2i");
  for (auto _ : state) ParseOnce("xcga20ff484-1");
}
BENCHMARK(BM_RepeatedParse)->Unit(benchmark::kMicrosecond);

void BM_UnknownPartName(benchmark::State& state) {
  UseInstallation();
  for (auto _ : state) ParseOnce("xczz9tq144-3");
}
BENCHMARK(BM_UnknownPartName)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
