// The option parser: the input's first line is an option specification, the other lines are the
// arguments. The arguments are also written to a command file and expanded with "-f".
//
// Invariants: a rejected specification rejects every argument list; an accepted list records
// only declared flags and options, every positional argument is one of the arguments, and the
// help word follows a help option; a command file expands into its blank-separated words.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "pmport/ut_cmdargs.h"

namespace {

using pmfuzz::Check;

std::vector<const char*> Pointers(const std::vector<std::string>& words) {
  std::vector<const char*> pointers;
  for (const std::string& word : words) pointers.push_back(word.c_str());
  return pointers;
}

void CheckArguments(const UT_CMDOPCODES& opcodes, int argc, const char* const* argv) {
  UT_ARGINFO info;
  const int ok = UT_CMDCHK::chkargs(argc, argv, opcodes, info);
  Check((ok == 1) == (info.error == 0), "chkargs and the error flag disagree");
  if (opcodes.iserror()) {
    Check(ok == 0, "a rejected specification accepts arguments");
    return;
  }
  const std::vector<std::string> args(argv, argv + argc);
  for (const std::string& flag : info.flags)
    Check(opcodes.find(flag.c_str()) == UT_CMDOPCODES::Flag, "an undeclared flag", flag);
  for (const auto& [name, values] : info.options) {
    Check(opcodes.find(name.c_str()) == UT_CMDOPCODES::Value, "an undeclared option", name);
    for (const std::string& value : values)
      Check(std::count(args.begin(), args.end(), value) > 0, "an option value that was not given",
            value);
  }
  for (const std::string& positional : info.positionals) {
    Check(std::count(args.begin(), args.end(), positional) > 0,
          "a positional argument that was not given", positional);
  }
  if (!info.helpvalue.empty()) {
    Check(info.usagegiven && std::count(args.begin(), args.end(), info.helpvalue) > 0,
          "a help word that was not given", info.helpvalue);
  }
}

// Command files may name further files; only the scratch file itself may be named here, so that
// the expansion never wanders off into the machine's files.
bool NamesOtherFiles(const std::vector<std::string>& words, const std::string& scratch) {
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == "-f" && words[i + 1] != scratch) return true;
  }
  return false;
}

void CheckCommandFile(const std::string& content) {
  const pmfuzz::ScratchFile& scratch = pmfuzz::Scratch();
  std::istringstream stream(content);
  std::vector<std::string> words{std::istream_iterator<std::string>(stream),
                                 std::istream_iterator<std::string>()};
  for (std::string& word : words)
    word = word.c_str();  // a word, as an argument, ends at its first NUL
  if (NamesOtherFiles(words, scratch.path())) return;
  scratch.write(content);
  const char* const argv[] = {"first", "-f", scratch.path().c_str(), "last", "-f"};
  UT_CMDFILE expanded(5, argv);
  const int argc = expanded.getargc();
  Check(expanded.getargv()[argc] == nullptr, "the expanded arguments are not null-terminated");
  Check(argc >= 3 && std::strcmp(expanded.getargv()[0], "first") == 0 &&
            std::strcmp(expanded.getargv()[argc - 2], "last") == 0 &&
            std::strcmp(expanded.getargv()[argc - 1], "-f") == 0,
        "the arguments around a command file moved");
  const bool selfReference = std::find(words.begin(), words.end(), "-f") != words.end();
  if (!selfReference) {
    Check(expanded.isvalid() && argc == static_cast<int>(words.size()) + 3,
          "a command file's words", content);
    for (std::size_t i = 0; i < words.size(); ++i)
      Check(words[i] == expanded.getargv()[i + 1], "a command file's word", words[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pmfuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t firstLineEnd = text.find('\n');
  const std::string spec = text.substr(0, firstLineEnd).c_str();
  const std::string rest =
      firstLineEnd == std::string::npos ? std::string() : text.substr(firstLineEnd + 1);
  std::vector<std::string> args = pmfuzz::SplitAt(rest, '\n');
  for (std::string& arg : args) arg = arg.c_str();  // an argument ends at its first NUL

  const UT_CMDOPCODES opcodes(spec.c_str());
  const std::vector<const char*> argv = Pointers(args);
  CheckArguments(opcodes, static_cast<int>(argv.size()), argv.data());
  CheckCommandFile(rest);
  return 0;
}
