// Tool command lines: the argument check and the per-architecture usage text.
#include <pmlib/pmcmdargs.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include <pmlib/pmpic.h>
#include <pmport/port_file.h>
#include <pmport/port_path.h>

#include "pmunit.h"

namespace {

constexpr char kUnit[] = "baspmcmdarg";
constexpr std::size_t kMaxToolNameLength = 75;
// Usage files are printed in pieces of at most this many characters (plus the terminating NUL).
constexpr int kUsageLineBuffer = 256;

struct StreamCloser {
  void operator()(Port::Stream* stream) const { Port::File::close(stream); }
};
using UsageStream = std::unique_ptr<Port::Stream, StreamCloser>;

UsageStream OpenQuietly(const Port::StringBase<char>& path) {
  return UsageStream(path.empty() ? nullptr : Port::File::open(path, Port::File::Read, true));
}

// The part of the option list before its first blank (the parser delimits the tool name with
// blanks of either kind), cut to the longest name a tool may have.
std::string ToolName(const char* optionspec) {
  const std::string spec = optionspec ? optionspec : "";
  return spec.substr(0, std::min(spec.find_first_of(" \t"), kMaxToolNameLength));
}

using Port::Lowered;

// The usage file that the architecture named by `helpWord` finds (its own, a friend's or the
// installation-wide one); null when `helpWord` names no architecture or nothing is found, the
// latter with a status message saying that the generic text follows.
UsageStream OpenArchitectureUsage(const std::string& helpWord, const std::string& tool,
                                  const std::string& usageFile) {
  const PM_PIC part(Lowered(helpWord).c_str(), 0, PM_BINDING_SUPPORTED_ONLY);
  if (part.get_depth() < 1) return nullptr;
  UsageStream stream = OpenQuietly(part.GetDatafileName(1, usageFile.c_str(), true, -1));
  if (!stream) {
    PM_ISSUE(NoArchitectureHelp, helpWord.c_str(), tool.c_str());
  }
  return stream;
}

// data/<usage file> of the first installation directory that has one.
UsageStream OpenInstallationUsage(const std::string& usageFile) {
  const Port::StringBase<char> relative("data/" + usageFile);
  for (const Port::StringBase<char>& directory : Port::KorvanPath::GetInstance()) {
    const Port::StringBase<char> path = Port::JoinPath(directory, relative);
    if (Port::File::exist(path)) return OpenQuietly(path);
  }
  return nullptr;
}

// Each line goes out as text: a usage file's "%" is not a format directive.
void PrintUsageFile(Port::Stream& stream) {
  PM_ISSUE(UsageStart);
  char line[kUsageLineBuffer];
  stream.readline(line, kUsageLineBuffer);
  while (!stream.geteof()) {
    PM_ISSUE(UsageLine, line);
    stream.readline(line, kUsageLineBuffer);
  }
}

void GiveUsage(const char* optionspec, const std::string& helpWord, void (*usage)(void)) {
  const std::string tool = ToolName(optionspec);
  const std::string usageFile = tool + ".usg";
  UsageStream stream;
  // A tool name that is not plain would name a usage file outside the data folders: it has none.
  const bool named = Port::IsPlainName(usageFile);
  if (named && !helpWord.empty()) stream = OpenArchitectureUsage(helpWord, tool, usageFile);
  if (named && !stream) stream = OpenInstallationUsage(usageFile);
  if (stream) {
    PrintUsageFile(*stream);
  } else if (usage) {
    usage();
  }
}

}  // namespace

PM_CMDARGS::PM_CMDARGS(int argc, char** argv, const char* optionspec, char* /*reserved*/,
                       void (*usage)(void), unsigned short flags) {
  if (argc < 0 || !argv) argc = 0;
  if (!(flags & PM_CMDARGS_ARGV0_IS_ARGUMENT) && argc != 0) {
    --argc;
    ++argv;
  }
  // Owns the expanded arguments until construction ends.
  std::unique_ptr<UT_CMDFILE> expansion;
  if (!(flags & PM_CMDARGS_NO_COMMAND_FILES) && argc != 0) {
    expansion = std::make_unique<UT_CMDFILE>(argc, argv);
    argc = expansion->getargc();
    argv = expansion->getargv();
  }
  const std::string helpWord = UT_CMDCHK::findhelpword(argc, argv);

  UT_ARGINFO& info = getinfo();
  info.clear();
  if (!(flags & PM_CMDARGS_ALLOW_NO_INSTALL) && Port::KorvanPath::GetInstance().empty()) {
    info.error = 1;
  }
  const UT_CMDOPCODES opcodes(optionspec);
  if (opcodes.iserror()) info.error = 1;
  if (!info.error && !UT_CMDCHK::chkargs(argc, argv, opcodes, info)) info.error = 1;
  if (info.usagegiven) GiveUsage(optionspec, helpWord, usage);
}

PM_CMDARGS::~PM_CMDARGS() = default;

unsigned char PM_CMDARGS::pmgaveusage() const { return getinfo().usagegiven; }
