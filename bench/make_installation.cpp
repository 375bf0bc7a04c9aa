// Writes the benchmarks' synthetic installation:
//   make_installation ROOT [-A architectures] [-D devices] [-P packages] [-S speeds]
//                          [-K padding-keys] [-F friend-chain-length]
//                          [-L 1 (friend chains are loops)]
// Defaults: -A 100 -D 50 -P 8 -S 4 -K 2000 -F 3 -L 0. The same counts always give the same files.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "synth_installation.h"

namespace {

int Usage() {
  std::cerr << "usage: make_installation ROOT [-A architectures] [-D devices] [-P packages]"
               " [-S speeds] [-K padding-keys] [-F friend-chain-length] [-L 1]\n";
  return 2;
}

// The count an option names, or null for an unknown option.
int* CountOf(synth::Shape& shape, const char* option) {
  if (std::strlen(option) != 2 || option[0] != '-') return nullptr;
  switch (option[1]) {
    case 'A':
      return &shape.architectures;
    case 'D':
      return &shape.devices;
    case 'P':
      return &shape.packages;
    case 'S':
      return &shape.speeds;
    case 'K':
      return &shape.paddingKeys;
    case 'F':
      return &shape.friendChain;
    case 'L':
      return &shape.friendLoop;
    default:
      return nullptr;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return Usage();
  synth::Shape shape;
  for (int i = 2; i < argc; i += 2) {
    int* count = CountOf(shape, argv[i]);
    char* end = nullptr;
    const long value = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
    if (!count || !end || *end != '\0' || value < 1 || value > 17576) return Usage();
    *count = static_cast<int>(value);
  }
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  if (!synth::Generate(argv[1], shape, error)) {
    std::cerr << "make_installation: " << error << "\n";
    return 1;
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::cout << argv[1] << ": " << shape.architectures << " architectures, " << shape.devices
            << " devices, " << shape.packages << " packages, " << shape.speeds << " speeds, "
            << shape.paddingKeys << " padding keys, friend chains of " << shape.friendChain
            << (shape.friendLoop ? " closed into loops" : "") << " (" << took.count() << " s)\n";
  return 0;
}
