// The library's benchmarks, each beside the baseline it is judged against, on the synthetic
// installation (bench/synth_installation.h):
//   Load/*        the definition reader against read(2) and a property-tree ini parser
//   KeyLookup/*   whole-value lookups against an unordered_map find plus a copy
//   DeviceNames/* field lookup and device-name translation on 100 and 1,000 devices
//   ColdStart/*   the first part of a fresh process against reading every definition file
//   WarmParse/*   parts of architectures already found against a stat and a regex search
//   Enumerate/*   the second walk of an architecture's lists against walking vectors
//   Memory/*      resident memory per live PM_PIC and PM_SPEC
//   Threads       by-value lookups and list walks on 1 and 2 threads
//   Large/*       pmtool on large inputs at two sizes (a JSON dump, a one-line usage file, a
//                 long friend chain or loop), which should differ by the ratio of the sizes
// Options of its own (before Google Benchmark's):
//   --installation=DIR     the synthetic installation (written there with the default shape
//                          when DIR has none); --installation400=DIR the one of 400 architectures
//   --report               runs every benchmark and prints one line per target
// Cold start and memory run in child processes of this program (--child=...), so that each
// measures a process whose caches are empty. The cold-start measures are the wall time of the
// whole child process, from its start to its exit, as a tool run from a shell meets it; the
// child's CPU time is kept beside it (the cpu_ms counter) as information.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/regex.hpp>

#include "PMLists.h"
#include "Validator.h"
#include "baspmpic.h"
#include "pmlib/pmlib.h"
#include "pmport/sfp_acd.h"
#include "synth_installation.h"

extern char** environ;

namespace {

// The cold-start children print the CPU time of their own work, for a run by hand; the report
// times them from outside, in wall time from the process's start to its exit (see RunChild).
struct Clock {
  using time_point = std::chrono::nanoseconds;
  static time_point now() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  }
};

constexpr int kBigKeys = 10000;
constexpr int kBigValueLength = 1000;
constexpr const char* kBigArch = "bigkeys";
constexpr int kMemoryParts = 10000;
constexpr int kMemorySpecs = 1000;
constexpr std::size_t kLookupMask = 4095;  // random keys are picked from 4096
// The short wall-time measures that a moment of the host's activity can spoil (a warm parse and
// its baseline, one and two threads) run this many times each; the report takes the median.
constexpr int kRepeatedRuns = 3;

struct Settings {
  std::string self;             // this program
  std::string installation;     // A = 100 (or as generated)
  std::string installation400;  // A = 400
  std::string extra;            // the benchmarks' own architectures (big definition, devices)
  synth::Shape shape;
} settings;

// ---------------------------------------------------------------------------------------------
// Files and processes

bool Exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

// Generates an installation of `architectures` architectures under `root` unless one is there.
void EnsureInstallation(const std::string& root, int architectures) {
  if (Exists(root + "/data/patternfile")) return;
  synth::Shape shape = settings.shape;
  shape.architectures = architectures;
  std::string error;
  if (!synth::Generate(root, shape, error)) {
    std::cerr << "pmlib_bench: " << error << "\n";
    std::exit(1);
  }
}

std::string ExtraDefinition(const std::string& arch, const std::string& body) {
  return "ARCH_NAME = " + arch + "\nARCH_FRIEND = " + arch + "\nARCH_TYPE = CONFIG\n" + body;
}

// The benchmarks' own architectures, in a second installation folder. They have no BASE_MODE, so
// no listing (and no part-name search) ever opens them.
void WriteExtraArchitectures() {
  std::string error;
  const auto write = [&](const std::string& arch, const std::string& text) {
    const std::string path = settings.extra + "/" + arch + "/data/" + arch + ".acd";
    if (!Exists(path) && !synth::WriteFile(path, text, error)) {
      std::cerr << "pmlib_bench: " << error << "\n";
      std::exit(1);
    }
  };
  write(kBigArch, synth::BigDefinition(kBigArch, kBigKeys, kBigValueLength));
  for (const int devices : {100, 1000}) {
    const std::string arch = "devices" + std::to_string(devices);
    write(arch, ExtraDefinition(
                    arch, "DEVICE_INTERNAL = " + synth::DeviceInternalValue(0, devices) + "\n"));
  }
}

std::string BigDefinitionPath() {
  return settings.extra + "/" + kBigArch + "/data/" + kBigArch + ".acd";
}

std::string DefinitionPath(const std::string& root, int arch) {
  const std::string name = synth::ArchitectureName(arch);
  return root + "/" + name + "/data/" + name + ".acd";
}

// What a child printed, and how long it took from its start to its exit: wall time and the CPU
// time (user and system) of the whole process.
struct ChildRun {
  std::string output;
  double wallSeconds = 0;
  double cpuSeconds = 0;
};

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6;
}

// Runs this program with `arguments`; exits on failure.
ChildRun RunChild(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {settings.self};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) std::exit(1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  pid_t child = 0;
  const auto start = std::chrono::steady_clock::now();
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  ChildRun run;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeEnds[0]);
  int status = 0;
  struct rusage usage {};
  if (spawned != 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::cerr << "pmlib_bench: child " << arguments.front() << " failed\n";
    std::exit(1);
  }
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  return run;
}

double ChildNumber(const std::vector<std::string>& arguments) {
  return std::strtod(RunChild(arguments).output.c_str(), nullptr);
}

// Times one fresh process per iteration in wall time, with its CPU time as the cpu_ms counter.
void TimeFreshProcesses(benchmark::State& state, const std::vector<std::string>& arguments) {
  double cpuSeconds = 0;
  for (auto _ : state) {
    const ChildRun run = RunChild(arguments);
    state.SetIterationTime(run.wallSeconds);
    cpuSeconds += run.cpuSeconds;
  }
  state.counters["cpu_ms"] = 1e3 * cpuSeconds / static_cast<double>(state.iterations());
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

// ---------------------------------------------------------------------------------------------
// Parts and names

// An architecture that the pattern file does not name, last in listing order: the first parse
// of its part searches every installed architecture.
int LastSearchedArchitecture(int architectures) {
  int arch = architectures - 1;
  while (arch > 0 && synth::InPatternFile(arch)) --arch;
  return arch;
}

// The architectures of the warm-parse and thread benchmarks: some named by the pattern file, some
// found by the search (and then remembered).
std::vector<int> WarmArchitectures() {
  const int last = settings.shape.architectures - 1;
  std::vector<int> archs = {0, 1, 2, 3, last / 2, last / 2 + 1, last - 1, last};
  archs.erase(std::unique(archs.begin(), archs.end()), archs.end());
  return archs;
}

// Every part name of the architectures, device by device.
std::vector<std::string> PartNames(const std::vector<int>& archs) {
  std::vector<std::string> names;
  for (int device = 0; device < settings.shape.devices; ++device) {
    for (int package = 0; package < settings.shape.packages; ++package) {
      for (int speed = 0; speed < settings.shape.speeds; ++speed) {
        for (const int arch : archs) names.push_back(synth::PartName(arch, device, package, speed));
      }
    }
  }
  return names;
}

void ParsePart(const std::string& name) {
  const PM_PIC part(name.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
  if (part.get_depth() != 4) {
    std::cerr << "pmlib_bench: " << name << " did not parse\n";
    std::exit(1);
  }
}

// Walks every device, package and speed of `validator`; returns the characters seen.
std::size_t WalkLists(PersonalityModule::Validator& validator) {
  std::size_t characters = 0;
  for (const PersonalityModule::DeviceLists& device : validator.devicelists()) {
    characters += device.device->length();
    for (const Port::String& package : device.packages) characters += package.length();
    for (const Port::String& speed : device.speeds) characters += speed.length();
  }
  return characters;
}

std::unique_ptr<PMPicImp> ArchitecturePart(int arch) {
  auto part = std::make_unique<PMPicImp>(nullptr, PM_BINDING_SUPPORTED_ONLY);
  part->verify_and_set_pm(synth::ArchitectureName(arch).c_str(), true);
  return part;
}

// ---------------------------------------------------------------------------------------------
// Child processes: each prints one number

int ChildColdParse(const std::string& root, const std::string& part) {
  Port::KorvanPath::Set({root});
  const auto start = Clock::now();
  ParsePart(part);
  const std::chrono::duration<double, std::nano> took = Clock::now() - start;
  std::printf("%.0f\n", took.count());
  return 0;
}

// Reads every definition file of the installation into memory, each into a buffer of its own;
// the files are found before the clock starts.
int ChildReadAll(const std::string& root) {
  std::vector<std::string> paths;
  if (DIR* folder = ::opendir(root.c_str())) {
    while (const dirent* entry = ::readdir(folder)) {
      const std::string path = root + "/" + entry->d_name + "/data/" + entry->d_name + ".acd";
      if (entry->d_name[0] != '.' && Exists(path)) paths.push_back(path);
    }
    ::closedir(folder);
  }
  const auto start = Clock::now();
  std::vector<std::unique_ptr<char[]>> contents;
  for (const std::string& path : paths) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) return 1;
    auto buffer = std::make_unique<char[]>(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    for (ssize_t count; got < static_cast<std::size_t>(status.st_size) &&
                        (count = ::read(fd, buffer.get() + got, status.st_size - got)) > 0;) {
      got += static_cast<std::size_t>(count);
    }
    ::close(fd);
    contents.push_back(std::move(buffer));
  }
  const std::chrono::duration<double, std::nano> took = Clock::now() - start;
  std::printf("%.0f\n", took.count());
  return 0;
}

// Resident bytes per live object: `count` objects made after the caches are warm.
int ChildMemory(const std::string& root, const std::string& kind) {
  Port::KorvanPath::Set({root});
  const int arch = 0;
  const std::vector<std::string> names = PartNames({arch});
  ParsePart(names.front());
  const std::string archName = synth::ArchitectureName(arch);
  const PM_SPEC warm(archName.c_str(), PM_BINDING_SUPPORTED_ONLY);
  // Every part parsed once, so that what stays resident afterwards is the objects alone and not
  // the shared readers and lists their first use builds.
  if (kind == "pic") {
    for (const std::string& name : names) ParsePart(name);
  }
  const long before = ResidentBytes();
  std::vector<std::unique_ptr<PM_SPEC>> objects;
  const int count = kind == "pic" ? kMemoryParts : kMemorySpecs;
  objects.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (kind == "pic") {
      objects.push_back(std::make_unique<PM_PIC>(
          names[static_cast<std::size_t>(i) % names.size()].c_str(), 1, PM_BINDING_SUPPORTED_ONLY));
    } else {
      objects.push_back(std::make_unique<PM_SPEC>(archName.c_str(), PM_BINDING_SUPPORTED_ONLY));
    }
  }
  const long after = ResidentBytes();
  std::printf("%.1f\n", static_cast<double>(after - before) / count);
  return 0;
}

// `count` warm parses (after one of each architecture), for counting the files they open.
int ChildWarmParse(const std::string& root, int count) {
  Port::KorvanPath::Set({root});
  const std::vector<std::string> names = PartNames(WarmArchitectures());
  for (const int arch : WarmArchitectures()) ParsePart(synth::PartName(arch, 0, 0, 0));
  for (int i = 0; i < count; ++i) ParsePart(names[static_cast<std::size_t>(i) % names.size()]);
  std::printf("%d\n", count);
  return 0;
}

// `count` walks of an architecture's lists, for counting the files the later walks open.
int ChildEnumerate(const std::string& root, int count) {
  Port::KorvanPath::Set({root});
  const std::unique_ptr<PMPicImp> part = ArchitecturePart(0);
  std::size_t characters = 0;
  for (int i = 0; i < count; ++i) characters += WalkLists(*part->validatorObject());
  std::printf("%zu\n", characters);
  return 0;
}

int RunChildMode(const std::string& mode, const std::vector<std::string>& arguments) {
  if (!arguments.empty()) synth::ReadShape(arguments[0], settings.shape);
  if (mode == "cold-parse" && arguments.size() == 2)
    return ChildColdParse(arguments[0], arguments[1]);
  if (mode == "read-all" && arguments.size() == 1) return ChildReadAll(arguments[0]);
  if (mode == "memory" && arguments.size() == 2) return ChildMemory(arguments[0], arguments[1]);
  if (mode == "warm-parse" && arguments.size() == 2) {
    return ChildWarmParse(arguments[0], std::atoi(arguments[1].c_str()));
  }
  if (mode == "enumerate" && arguments.size() == 2) {
    return ChildEnumerate(arguments[0], std::atoi(arguments[1].c_str()));
  }
  std::cerr << "pmlib_bench: unknown child mode " << mode << "\n";
  return 2;
}

// ---------------------------------------------------------------------------------------------
// 4. Cold start, each measurement in a fresh process

void BM_ColdStart_Parse(benchmark::State& state) {
  const bool large = state.range(0) == 400;
  const std::string& root = large ? settings.installation400 : settings.installation;
  const int architectures = large ? 400 : settings.shape.architectures;
  const int arch = LastSearchedArchitecture(architectures);
  const std::string part = synth::PartName(arch, settings.shape.devices - 1, 0, 0);
  TimeFreshProcesses(state, {"--child=cold-parse", root, part});
}
BENCHMARK(BM_ColdStart_Parse)
    ->Name("ColdStart/PM_PIC")
    ->Arg(100)
    ->Arg(400)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_ColdStart_ReadAll(benchmark::State& state) {
  TimeFreshProcesses(state, {"--child=read-all", settings.installation});
}
BENCHMARK(BM_ColdStart_ReadAll)
    ->Name("ColdStart/ReadAll")
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// 5. Warm parse

void BM_WarmParse_PmPic(benchmark::State& state) {
  const std::vector<int> archs = WarmArchitectures();
  for (const int arch : archs) ParsePart(synth::PartName(arch, 0, 0, 0));
  const std::vector<std::string> names = PartNames(archs);
  std::size_t i = 0;
  for (auto _ : state) {
    const PM_PIC part(names[i++ % names.size()].c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
    benchmark::DoNotOptimize(part.get_depth());
  }
}
BENCHMARK(BM_WarmParse_PmPic)
    ->Name("WarmParse/PM_PIC")
    ->Repetitions(kRepeatedRuns)
    ->DisplayAggregatesOnly()
    ->Unit(benchmark::kMicrosecond);

void BM_WarmParse_StatRegex(benchmark::State& state) {
  struct Case {
    std::string name;
    std::string definition;
    const boost::regex* expression;
  };
  const std::vector<int> archs = WarmArchitectures();
  std::map<int, boost::regex> expressions;
  for (const int arch : archs) {
    expressions.emplace(
        arch, boost::regex("^x?c?" + synth::ArchitectureName(arch).substr(2) + "[0-9]+d"));
  }
  std::vector<Case> cases;
  for (const std::string& name : PartNames(archs)) {
    const int arch = archs[cases.size() % archs.size()];
    cases.push_back({name, DefinitionPath(settings.installation, arch), &expressions.at(arch)});
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const Case& c = cases[i++ % cases.size()];
    struct stat status {};
    benchmark::DoNotOptimize(::stat(c.definition.c_str(), &status));
    boost::smatch match;
    benchmark::DoNotOptimize(boost::regex_search(c.name, match, *c.expression));
  }
}
BENCHMARK(BM_WarmParse_StatRegex)
    ->Name("WarmParse/StatRegex")
    ->Repetitions(kRepeatedRuns)
    ->DisplayAggregatesOnly()
    ->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// 6. Enumeration

void BM_Enumerate_Validator(benchmark::State& state) {
  const std::unique_ptr<PMPicImp> part = ArchitecturePart(0);
  PersonalityModule::Validator& validator = *part->validatorObject();
  WalkLists(validator);  // the first walk builds the lists
  for (auto _ : state) benchmark::DoNotOptimize(WalkLists(validator));
}
BENCHMARK(BM_Enumerate_Validator)->Name("Enumerate/Validator")->Unit(benchmark::kMicrosecond);

void BM_Enumerate_Vectors(benchmark::State& state) {
  const std::unique_ptr<PMPicImp> part = ArchitecturePart(0);
  PersonalityModule::Validator& validator = *part->validatorObject();
  struct Device {
    std::string name;
    std::vector<std::string> packages;
    std::vector<std::string> speeds;
  };
  std::vector<Device> devices;
  for (auto device = validator.devicebegin(); device != validator.deviceend(); ++device) {
    Device copy{device->str(), {}, {}};
    for (auto p = validator.packagebegin(*device); p != validator.packageend(*device); ++p) {
      copy.packages.push_back(p->str());
    }
    for (auto s = validator.speedbegin(*device); s != validator.speedend(*device); ++s) {
      copy.speeds.push_back(s->str());
    }
    devices.push_back(std::move(copy));
  }
  for (auto _ : state) {
    std::size_t characters = 0;
    for (const Device& device : devices) {
      characters += device.name.length();
      for (const std::string& package : device.packages) characters += package.length();
      for (const std::string& speed : device.speeds) characters += speed.length();
    }
    benchmark::DoNotOptimize(characters);
  }
}
BENCHMARK(BM_Enumerate_Vectors)->Name("Enumerate/Vectors")->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// 7. Memory, in fresh processes

void BM_Memory(benchmark::State& state, const char* kind) {
  double perObject = 0;
  for (auto _ : state) perObject = ChildNumber({"--child=memory", settings.installation, kind});
  state.counters["bytes_per_object"] = perObject;
}
BENCHMARK_CAPTURE(BM_Memory, pic, "pic")
    ->Name("Memory/PM_PIC")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memory, spec, "spec")
    ->Name("Memory/PM_SPEC")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// 8. Threads

struct ThreadShared {
  std::unique_ptr<PM_SPEC> spec;
  std::vector<std::unique_ptr<PMPicImp>> parts;  // one per thread
  std::vector<std::string> keys;
};

ThreadShared& Shared() {
  static ThreadShared shared;
  return shared;
}

void BM_Threads(benchmark::State& state) {
  ThreadShared& shared = Shared();
  const std::size_t thread = static_cast<std::size_t>(state.thread_index());
  const std::vector<std::string>& keys = shared.keys;
  PersonalityModule::Validator& validator = *shared.parts[thread]->validatorObject();
  const PM_DEVKEY& store = *shared.spec->get_defdata();
  std::size_t i = thread * 977;
  std::size_t characters = 0;
  for (auto _ : state) {
    for (int lookup = 0; lookup < 16; ++lookup) {
      characters += store.GetStringByKey(keys[i++ & kLookupMask].c_str(), 0, 0, 0, 0).length();
    }
    const Port::String device = synth::DeviceName(
        0, static_cast<int>(i % static_cast<std::size_t>(settings.shape.devices)));
    const PersonalityModule::ListIterator end = validator.packageend(device);
    for (auto package = validator.packagebegin(device); package != end; ++package) {
      characters += package->length();
    }
  }
  benchmark::DoNotOptimize(characters);
  state.SetItemsProcessed(state.iterations());
}

void SetUpThreads() {
  ThreadShared& shared = Shared();
  shared.spec =
      std::make_unique<PM_SPEC>(synth::ArchitectureName(0).c_str(), PM_BINDING_SUPPORTED_ONLY);
  for (int thread = 0; thread < 2; ++thread) {
    shared.parts.push_back(ArchitecturePart(0));
    WalkLists(*shared.parts.back()->validatorObject());
  }
  std::mt19937 random(777);
  std::uniform_int_distribution<int> pick(0, settings.shape.paddingKeys - 1);
  char name[32];
  for (std::size_t i = 0; i <= kLookupMask; ++i) {
    std::snprintf(name, sizeof name, "PAD_KEY_%05d", pick(random));
    shared.keys.emplace_back(name);
  }
}
BENCHMARK(BM_Threads)
    ->Name("Threads")
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Repetitions(kRepeatedRuns)
    ->DisplayAggregatesOnly();

// ---------------------------------------------------------------------------------------------
// 1. Definition-file load (these last three run after the others: see UseExtraArchitectures)

// Adds the benchmarks' own architectures to the installation, in front of the synthetic one (so
// that the synthetic files, in the base installation, override nothing). Until then the synthetic
// installation is the only folder, as it would be for a tool: a second folder doubles every
// existence check of the part benchmarks.
void UseExtraArchitectures() {
  static const bool added = [] {
    Port::KorvanPath::Set({settings.extra, settings.installation});
    return true;
  }();
  benchmark::DoNotOptimize(added);
}

void BM_Load_StaticAcdRead(benchmark::State& state) {
  const std::string path = BigDefinitionPath();
  for (auto _ : state) {
    const StaticAcdRead reader(path.c_str(), nullptr, nullptr, 1, 0, 1);
    benchmark::DoNotOptimize(reader.size());
  }
}
BENCHMARK(BM_Load_StaticAcdRead)->Name("Load/StaticAcdRead")->Unit(benchmark::kMicrosecond);

void BM_Load_Read(benchmark::State& state) {
  const std::string path = BigDefinitionPath();
  struct stat status {};
  ::stat(path.c_str(), &status);
  std::vector<char> buffer(static_cast<std::size_t>(status.st_size));  // allocated for the run
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::size_t got = 0;
    for (ssize_t count; got < buffer.size() &&
                        (count = ::read(fd, buffer.data() + got, buffer.size() - got)) > 0;) {
      got += static_cast<std::size_t>(count);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Load_Read)->Name("Load/Read")->Unit(benchmark::kMicrosecond);

void BM_Load_PropertyTree(benchmark::State& state) {
  const std::string path = BigDefinitionPath();
  for (auto _ : state) {
    boost::property_tree::ptree tree;
    boost::property_tree::ini_parser::read_ini(path, tree);
    benchmark::DoNotOptimize(tree.size());
  }
}
BENCHMARK(BM_Load_PropertyTree)->Name("Load/PropertyTree")->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------
// 2. Whole-value key lookup

std::vector<std::string> RandomKeys(int keys, std::size_t count) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pick(0, keys - 1);
  std::vector<std::string> names;
  char name[32];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "KEY_%05d", pick(random));
    names.emplace_back(name);
  }
  return names;
}

void BM_KeyLookup_PmDevkey(benchmark::State& state) {
  UseExtraArchitectures();
  const PM_SPEC spec(kBigArch, PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY& store = *spec.get_defdata();
  const std::vector<std::string> keys = RandomKeys(kBigKeys, kLookupMask + 1);
  std::size_t i = 0;
  for (auto _ : state) {
    const Port::String value = store.GetStringByKey(keys[i++ & kLookupMask].c_str(), 0, 0, 0, 0);
    benchmark::DoNotOptimize(value.c_str());
  }
}
BENCHMARK(BM_KeyLookup_PmDevkey)->Name("KeyLookup/PM_DEVKEY");

void BM_KeyLookup_UnorderedMap(benchmark::State& state) {
  std::unordered_map<std::string, std::string> map;
  const StaticAcdRead reader(BigDefinitionPath().c_str(), nullptr, nullptr, 1, 0, 1);
  for (const Sfp_ACD::KeyValue& entry : reader) map.emplace(entry.first.get(), entry.second.get());
  const std::vector<std::string> keys = RandomKeys(kBigKeys, kLookupMask + 1);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto found = map.find(keys[i++ & kLookupMask]);
    const std::string value = found->second;
    benchmark::DoNotOptimize(value.c_str());
  }
}
BENCHMARK(BM_KeyLookup_UnorderedMap)->Name("KeyLookup/UnorderedMap");

// ---------------------------------------------------------------------------------------------
// 3. Field lookup and device-name translation

void BM_DeviceNames(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  const std::string arch = "devices" + std::to_string(devices);
  UseExtraArchitectures();
  const PM_PIC part(arch.c_str(), 0, PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY& store = *part.get_defdata();
  std::mt19937 random(54321);
  std::uniform_int_distribution<int> pick(0, devices - 1);
  std::vector<short> groups(kLookupMask + 1);
  for (short& group : groups) group = static_cast<short>(pick(random));
  std::size_t i = 0;
  for (auto _ : state) {
    const short group = groups[i++ & kLookupMask];
    // An internal name read by field, then translated back to its device name.
    const Port::String internal = store.GetStringByKey("DEVICE_INTERNAL", ':', group, ',', 2);
    const auto_array<char> external(part.find_external_device(internal.c_str()));
    benchmark::DoNotOptimize(external.get());
  }
}
BENCHMARK(BM_DeviceNames)->Name("DeviceNames")->Arg(100)->Arg(1000);

// ---------------------------------------------------------------------------------------------
// 10. Large inputs, through pmtool in a child process: each should grow in proportion to its
// size (compare the two sizes of each)

// pmtool run once with `arguments`, its output discarded; the CPU time it took. A finding (exit
// status 1) is a normal outcome of check.
double ToolSeconds(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {PMLIB_BENCH_PMTOOL};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (spawned != 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) > 1) {
    std::cerr << "pmlib_bench: pmtool " << arguments.front() << " failed\n";
    std::exit(1);
  }
  const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string LargeInput(const std::string& name) { return settings.extra + "/large/" + name; }

void EnsureFile(const std::string& path, const std::function<std::string()>& text) {
  std::string error;
  if (!Exists(path) && !synth::WriteFile(path, text(), error)) {
    std::cerr << "pmlib_bench: " << error << "\n";
    std::exit(1);
  }
}

// `pmtool acd dump` of a definition of N short keys, as text or JSON.
void BM_AcdDump(benchmark::State& state, bool json) {
  const int keys = static_cast<int>(state.range(0));
  const std::string path = LargeInput("dump" + std::to_string(keys) + ".acd");
  EnsureFile(path, [keys] { return synth::BigDefinition("dump", keys, 40); });
  std::vector<std::string> arguments = {"acd", "dump", path};
  if (json) arguments.insert(arguments.begin() + 2, "--json");
  for (auto _ : state) state.SetIterationTime(ToolSeconds(arguments));
}
BENCHMARK_CAPTURE(BM_AcdDump, json, true)
    ->Name("Large/AcdDumpJson")
    ->Arg(25000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AcdDump, text, false)
    ->Name("Large/AcdDumpText")
    ->Arg(25000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// `pmtool -help` printing an installation's usage file that is one line of N MiB.
void BM_UsageLine(benchmark::State& state) {
  const std::size_t mebibytes = static_cast<std::size_t>(state.range(0));
  const std::string root = LargeInput("usage" + std::to_string(mebibytes));
  EnsureFile(root + "/data/pmtool.usg",
             [mebibytes] { return std::string(mebibytes << 20, 'u') + "\n"; });
  for (auto _ : state) state.SetIterationTime(ToolSeconds({"--install", root, "-help", "none"}));
}
BENCHMARK(BM_UsageLine)
    ->Name("Large/UsageLine")
    ->Arg(1)
    ->Arg(4)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// `pmtool archs` or `pmtool check` on an installation that is one friend chain (or loop) of N
// small modules.
void BM_FriendChain(benchmark::State& state, const char* command, bool loop) {
  const int modules = static_cast<int>(state.range(0));
  const std::string root = LargeInput((loop ? "loop" : "chain") + std::to_string(modules));
  if (!Exists(root + "/data/patternfile")) {
    synth::Shape shape;
    shape.architectures = modules;
    shape.devices = shape.packages = shape.speeds = 2;
    shape.paddingKeys = 20;
    shape.friendChain = modules;
    shape.friendLoop = loop ? 1 : 0;
    std::string error;
    if (!synth::Generate(root, shape, error)) {
      std::cerr << "pmlib_bench: " << error << "\n";
      std::exit(1);
    }
  }
  for (auto _ : state) state.SetIterationTime(ToolSeconds({"--install", root, command}));
}
BENCHMARK_CAPTURE(BM_FriendChain, chain_archs, "archs", false)
    ->Name("Large/ChainArchs")
    ->Arg(250)
    ->Arg(1000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FriendChain, chain_check, "check", false)
    ->Name("Large/ChainCheck")
    ->Arg(250)
    ->Arg(1000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FriendChain, loop_archs, "archs", true)
    ->Name("Large/LoopArchs")
    ->Arg(100)
    ->Arg(400)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FriendChain, loop_check, "check", true)
    ->Name("Large/LoopCheck")
    ->Arg(100)
    ->Arg(400)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// The report

class CapturingReporter : public benchmark::ConsoleReporter {
 public:
  CapturingReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // A repeated benchmark is reported by its median (see kRepeatedRuns).
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times_[run.run_name.str()] = run.GetAdjustedRealTime();
      }
      if (run.run_type != Run::RT_Iteration) continue;
      times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      for (const auto& counter : run.counters) {
        counters_[run.benchmark_name() + ":" + counter.first] = counter.second.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const { return Find(times_, name); }
  double Counter(const std::string& name) const { return Find(counters_, name); }

 private:
  static double Find(const std::map<std::string, double>& values, const std::string& name) {
    const auto found = values.find(name);
    return found == values.end() ? -1 : found->second;
  }
  std::map<std::string, double> times_;
  std::map<std::string, double> counters_;
};

// One target: the measure, the baseline it is judged against (or what it counts), its value and
// its limit.
struct Target {
  std::string name;
  std::string measured;
  std::string baseline;
  double value;
  bool atMost;  // else at least
  double limit;
};

// Files opened (of those whose names hold `only`) by the child `mode` run `more` times beyond
// those opened when it runs `fewer` times, counted with strace; -1 without strace.
double ExtraFilesOpened(const std::string& mode, int fewer, int more, const std::string& only) {
  if (::system("strace -V >/dev/null 2>&1") != 0) return -1;
  const auto opened = [&](int count) {
    const std::string log = settings.extra + "/strace.log";
    const std::string command = "strace -f -qq -e trace=open,openat -o " + log + " " +
                                settings.self + " --child=" + mode + " " + settings.installation +
                                " " + std::to_string(count) + " >/dev/null";
    if (::system(command.c_str()) != 0) return -1.0;
    std::ifstream file(log);
    double lines = 0;
    for (std::string line; std::getline(file, line);) {
      if (line.find(only) != std::string::npos) lines += 1;
    }
    return lines;
  };
  return opened(more) - opened(fewer);
}

int Report(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  CapturingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ratio = [&](const std::string& name, const std::string& measured,
                         const std::string& baseline, bool atMost, double limit) {
    return Target{name,   measured, baseline, reporter.Time(measured) / reporter.Time(baseline),
                  atMost, limit};
  };
  const auto count = [](const std::string& name, const std::string& what, double value,
                        double limit) { return Target{name, what, "", value, true, limit}; };
  const std::string cold100 = "ColdStart/PM_PIC/100/iterations:5/manual_time";
  const std::string repeats = "/repeats:" + std::to_string(kRepeatedRuns);
  const std::vector<Target> targets = {
      ratio("load_vs_read", "Load/StaticAcdRead", "Load/Read", true, 2),
      ratio("property_tree_vs_load", "Load/PropertyTree", "Load/StaticAcdRead", false, 5),
      ratio("key_lookup_vs_unordered_map", "KeyLookup/PM_DEVKEY", "KeyLookup/UnorderedMap", true,
            2),
      ratio("device_names_1000_vs_100", "DeviceNames/1000", "DeviceNames/100", true, 12),
      ratio("cold_start_vs_read_all", cold100, "ColdStart/ReadAll/iterations:5/manual_time", true,
            3),
      ratio("cold_start_400_vs_100", "ColdStart/PM_PIC/400/iterations:5/manual_time", cold100, true,
            4.5),
      ratio("warm_parse_vs_stat_regex", "WarmParse/PM_PIC" + repeats,
            "WarmParse/StatRegex" + repeats, true, 12),
      // The lists of devices seen for the first time read their package and speed files; no
      // definition file is read again.
      count("warm_parse_definitions_read", "definition files opened by 1,800 more warm parses",
            ExtraFilesOpened("warm-parse", 200, 2000, ".acd\""), 0),
      ratio("enumerate_vs_vectors", "Enumerate/Validator", "Enumerate/Vectors", true, 3),
      count("enumerate_files_opened", "files opened by 9 more walks",
            ExtraFilesOpened("enumerate", 1, 10, "open"), 0),
      count("memory_per_pm_pic_bytes", "resident bytes per live PM_PIC",
            reporter.Counter("Memory/PM_PIC/iterations:1:bytes_per_object"), 2048),
      count("memory_per_pm_spec_bytes", "resident bytes per live PM_SPEC",
            reporter.Counter("Memory/PM_SPEC/iterations:1:bytes_per_object"), 1024),
      // Throughput: the time of one item on one thread against the time per item on two.
      ratio("threads_2_vs_1_throughput", "Threads" + repeats + "/real_time/threads:1",
            "Threads" + repeats + "/real_time/threads:2", false, 1.8),
  };
  int met = 0;
  for (const Target& target : targets) {
    const bool ok = target.value >= 0 &&
                    (target.atMost ? target.value <= target.limit : target.value >= target.limit);
    met += ok ? 1 : 0;
    // Which side is which: "measured / baseline" for a ratio, what is counted for a count.
    const std::string sides =
        target.baseline.empty() ? target.measured : target.measured + " / " + target.baseline;
    std::printf("ratio %s %.2f %s%g %s  (%s)\n", target.name.c_str(), target.value,
                target.atMost ? "<=" : ">=", target.limit, ok ? "ok" : "FAIL", sides.c_str());
  }
  std::printf("summary %d of %zu targets met%s\n", met, targets.size(),
              met == static_cast<int>(targets.size()) ? "" : " (FAIL)");
  return met == static_cast<int>(targets.size()) ? 0 : 1;
}

std::string OptionValue(const std::string& argument, const std::string& option) {
  return argument.compare(0, option.size(), option) == 0 ? argument.substr(option.size()) : "";
}

}  // namespace

int main(int argc, char** argv) {
  settings.self = "/proc/self/exe";
  char self[4096];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) settings.self.assign(self, static_cast<std::size_t>(length));

  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0) {
    return RunChildMode(argv[1] + 8, std::vector<std::string>(argv + 2, argv + argc));
  }
  settings.installation = PMLIB_BENCH_DIR "/synth-100";
  settings.installation400 = PMLIB_BENCH_DIR "/synth-400";
  settings.extra = PMLIB_BENCH_DIR "/extra";
  bool report = false;
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!OptionValue(argument, "--installation=").empty()) {
      settings.installation = OptionValue(argument, "--installation=");
    } else if (!OptionValue(argument, "--installation400=").empty()) {
      settings.installation400 = OptionValue(argument, "--installation400=");
    } else if (argument == "--report") {
      report = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  EnsureInstallation(settings.installation, settings.shape.architectures);
  synth::ReadShape(settings.installation, settings.shape);
  EnsureInstallation(settings.installation400, 400);
  WriteExtraArchitectures();
  Port::KorvanPath::Set({settings.installation});
  SetUpThreads();

  int restCount = static_cast<int>(rest.size());
  if (report) return Report(restCount, rest.data());
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
