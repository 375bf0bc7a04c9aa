// pmtool check: lints an installation, or with --roundtrip parses back every part name it offers.
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "checker.h"
#include "command.h"
#include "output.h"

namespace pmtool {
namespace {

using Names = std::vector<std::string>;

nlohmann::ordered_json NullWhenEmpty(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

nlohmann::ordered_json ToJson(const Finding& finding) {
  return {{"file", finding.file},
          {"key", NullWhenEmpty(finding.key)},
          {"arch", NullWhenEmpty(finding.arch)},
          {"kind", finding.kind},
          {"message", finding.message}};
}

std::vector<std::string> Cells(const Finding& finding) {
  return {finding.file + ":", finding.key.empty() ? "" : finding.key + ":", finding.message};
}

// One finding on one line, for output that streams and so cannot be aligned.
std::string PlainLine(const Finding& finding) {
  return Printable(finding.file + ": " + (finding.key.empty() ? "" : finding.key + ": ") +
                   finding.message) +
         "\n";
}

// A JSON array written element by element, so that a long run shows its findings as they come.
class JsonArrayStream {
 public:
  ~JsonArrayStream() { std::cout << (count_ ? "\n]\n" : "[]\n") << std::flush; }

  void add(const nlohmann::ordered_json& element) {
    std::istringstream lines(
        element.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    std::cout << (count_++ ? ",\n" : "[\n");
    std::string line;
    for (bool first = true; std::getline(lines, line); first = false) {
      std::cout << (first ? "" : "\n") << "  " << line;
    }
    std::cout << std::flush;
    StopIfOutputFailed();
  }

 private:
  std::size_t count_ = 0;
};

std::string Counted(std::size_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

int RunLint(const Invocation& invocation, const Names& modules, bool everything) {
  std::vector<Finding> found;
  FindingFilter findings([&](const Finding& finding) { found.push_back(finding); });
  LintInstallation(modules, everything, findings);
  if (invocation.json()) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Finding& finding : found) list.push_back(ToJson(finding));
    PrintJson(list);
  } else {
    Table table;
    for (const Finding& finding : found) table.add(Cells(finding));
    std::cout << table.str() << std::flush;
    PrintError(Counted(modules.size(), "module") + " checked, " +
               (found.empty() ? "no problem found" : Counted(found.size(), "problem")));
  }
  return found.empty() ? kExitOk : kExitProblem;
}

int RunRoundTrip(const Invocation& invocation, const Names& modules, bool everything) {
  std::size_t problems = 0;
  std::size_t names = 0;
  if (invocation.json()) {
    JsonArrayStream output;
    FindingFilter findings([&](const Finding& finding) {
      ++problems;
      output.add(ToJson(finding));
    });
    names = RoundTripPartNames(modules, everything, findings);
  } else {
    FindingFilter findings([&](const Finding& finding) {
      ++problems;
      std::cout << PlainLine(finding) << std::flush;
      StopIfOutputFailed();
    });
    names = RoundTripPartNames(modules, everything, findings);
    PrintError(Counted(names, "part name") + " parsed back, " +
               (problems ? Counted(problems, "problem") : "each to what it was made from"));
  }
  return problems ? kExitProblem : kExitOk;
}

int RunCheck(const Invocation& invocation) {
  const Names named(invocation.args.positionals.begin(), invocation.args.positionals.end());
  const Names modules = ModulesToCheck(named);
  if (invocation.args.hasflag("roundtrip")) return RunRoundTrip(invocation, modules, named.empty());
  return RunLint(invocation, modules, named.empty());
}

Family MakeCheckFamily() {
  Command check{
      "",
      "[ARCH...]",
      "lint an installation; --roundtrip: parse back every part name it offers",
      {{"json", nullptr, "print the findings as a JSON array"},
       {"roundtrip", nullptr, "compose every part name and parse it back instead of linting"}},
      "Checks the personality modules ARCH (names or aliases), or every module of the\n"
      "installation, supported and unsupported, and reports every problem found, one a line:\n"
      "the file, the key or entry concerned and what is wrong. It looks for:\n"
      "  - an installation entry (--install, KORVAN_PATH) that does not exist or is not a\n"
      "    folder (also with --roundtrip);\n"
      "  - a definition that does not open, lacks ARCH_NAME or ARCH_FRIEND, or whose ARCH_NAME\n"
      "    names another module;\n"
      "  - a module with devices but no SUPPORT_MODE of its own, or one that is neither\n"
      "    PHYSICAL nor LOGICAL; an ARCH_TYPE other than FPGA, CPLD or CONFIG;\n"
      "  - a key the library does not read that is close to one it does (\"did you mean\n"
      "    DEVICE_FORMAT?\"); SUBFAM_NAMES and SUBFAM_SPECS of different lengths;\n"
      "  - a definition not named after its folder; a device name two modules declare;\n"
      "  - an FPGA device without its device file (.nph), or with nothing else;\n"
      "  - a friend chain (ARCH_FRIEND) that loops or names a module that is not installed;\n"
      "  - a DEVICE_FORMAT, ALT_DEVICE_FORMAT, SPEED_FORMAT or SUBFAM_FORMAT that does not\n"
      "    compile;\n"
      "  - a DEVICE_INTERNAL device with no data: no package file, no speed file and, in an\n"
      "    FPGA module, no device file (.nph) under any of its names (a configuration memory\n"
      "    needs none);\n"
      "  - a device file (.nph) that no DEVICE_INTERNAL entry names;\n"
      "  - a speed or package file that is malformed, empty or lists nothing, or that lists\n"
      "    a segment twice (or twice in different letter cases);\n"
      "  - a DISALLOW_SPEEDS entry that is no speed grade of any device of the module;\n"
      "  - an alias that is another module's alias or name;\n"
      "  - a virtual entry (VENTRY_ key) that is malformed, or whose library (or a library its\n"
      "    dependency file lib<library>.acd lists under DEPEND) is not installed;\n"
      "  - a pattern file (data/patternfile) expression that does not compile;\n"
      "  - any warning or error the library gives while the module is read.\n"
      "A key inherited from a friend is reported on the friend's file. Libraries are looked\n"
      "for, never loaded. With ARCH named, the aliases and pattern-file lines of other modules\n"
      "are left out.\n"
      "\n"
      "With --roundtrip: every valid part name of every architecture part names can bind to\n"
      "(each device, package and speed grade, composed as the library composes part names) is\n"
      "parsed back as a design tool parses it, and every name that binds to another\n"
      "architecture, device, package or speed than it was made from is reported as it is\n"
      "found, the part name in the key column. A module with devices that part names never\n"
      "reach is reported too. The device formats of different architectures\n"
      "can claim each other's names: the first architecture in list order wins.\n"
      "\n"
      "A count is printed on standard error. With --json: an array of findings\n"
      "[{\"file\", \"key\", \"arch\", \"kind\", \"message\"}], key and arch null when there is\n"
      "none; the kinds are listed in docs/pmtool.md.\n",
      "  pmtool check                      # the whole installation\n"
      "  pmtool check alpha bravo          # two modules (bravo is beta's alias)\n"
      "  pmtool check --json gamma\n"
      "  pmtool check --roundtrip          # every part name parsed back\n",
      "  0  no problem was found\n"
      "  1  problems were found (they are listed)\n",
      0,
      kUnbounded,
      RunCheck};
  return Family{"check", "Checking an installation.", {std::move(check)}};
}

}  // namespace

const Family& CheckFamily() {
  static const Family family = MakeCheckFamily();
  return family;
}

}  // namespace pmtool
