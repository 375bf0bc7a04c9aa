// A synthetic installation for the benchmarks: many architectures with devices, packages, speed
// grades, friend chains, a pattern file and padded definition files, made deterministically from
// a few counts so that every run measures the same files.
#ifndef PMLIB_BENCH_SYNTH_INSTALLATION_H
#define PMLIB_BENCH_SYNTH_INSTALLATION_H

#include <string>
#include <vector>

namespace synth {

struct Shape {
  int architectures = 100;  // A
  int devices = 50;         // D, per architecture
  int packages = 8;         // P, per device
  int speeds = 4;           // S, per device
  int paddingKeys = 2000;   // K, per definition file
  int friendChain = 3;      // architectures per friend chain (1: every one is its own friend)
  int friendLoop = 0;       // L: 1 makes each chain a loop (its first names its last)
};

// The names the generator gives; the benchmarks use them to build part names.
std::string ArchitectureName(int arch);        // "sy" + three letters
std::string DeviceName(int arch, int device);  // "xc<tag><number>d"
std::string InternalName(int arch, int device,
                         int n);       // "<tag><number>d", "<tag><number>d_es", ...
std::string PackageName(int package);  // "tq144", "pq208", ...
std::string SpeedName(int speed);      // "-1", "-2", ...
// A full part name of an architecture's device: device, package and speed run together.
std::string PartName(int arch, int device, int package, int speed);
// Whether the pattern file names the architecture (every other one does; the others are found
// by searching the installed architectures).
bool InPatternFile(int arch);

// Writes the installation under `root` (created when missing; files of an earlier run with the
// same shape are overwritten). False, with `error` set, when a file cannot be written.
bool Generate(const std::string& root, const Shape& shape, std::string& error);

// The shape `root` was generated with (written to <root>/data/shape by Generate); false when
// there is none.
bool ReadShape(const std::string& root, Shape& shape);

// A definition text of `keys` keys whose values are `valueLength` bytes long: what the reader and
// its baselines load.
std::string BigDefinition(const std::string& arch, int keys, int valueLength);

// The value of a DEVICE_INTERNAL key of `devices` devices with two internal names each.
std::string DeviceInternalValue(int arch, int devices);

// Writes `text` to `path`, creating the folders on the way.
bool WriteFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace synth

#endif  // PMLIB_BENCH_SYNTH_INSTALLATION_H
