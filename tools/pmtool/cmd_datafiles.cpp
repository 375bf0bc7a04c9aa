// pmtool speeds-file and pmtool packages-file: what the library's speed and package readers make
// of one data file.
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "output.h"
#include "pmlib/datafile.h"
#include "pmport/port_file.h"
#include "pmport/ut_ifile.h"

namespace pmtool {
namespace {

using Names = std::vector<std::string>;

// The segment type of a hidden package.
constexpr int kHiddenPackageType = 1;

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::string Joined(const Names& names) {
  if (names.empty()) return "(none)";
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// A reader that found nothing says nothing about a missing or empty file (that is no error to the
// library); the library has already reported a file it could not read.
int ReportNotLoaded(const std::string& file) {
  const std::string reason = UnreadableReason(file);
  if (!reason.empty()) {
    PrintError("cannot read " + file + ": " + reason);
  } else if (Port::File::getsize_noopen(file.c_str()) == 0) {
    PrintError(file + " is empty");
  }
  return kExitProblem;
}

int RunSpeedsFile(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  const pmlib::SpeedFile read = pmlib::readSpeedFile(file);
  if (invocation.json()) {
    PrintJson({{"file", file},
               {"loaded", read.loaded},
               {"minspd", read.minimumSpeed},
               {"spd411", read.speed411},
               {"speeds", read.speeds}});
  } else {
    Table table;
    table.add({"file:", file});
    table.add({"loaded:", YesNo(read.loaded)});
    table.add({"minspd:", YesNo(read.minimumSpeed)});
    table.add({"spd411:", YesNo(read.speed411)});
    table.add({"speeds:", Joined(read.speeds)});
    std::cout << table.str();
  }
  return read.loaded ? kExitOk : ReportNotLoaded(file);
}

// The directory of a package file as far as hidden packages go. The reader lists them only on
// request, so the directory is read here to show them either way.
struct HiddenPackages {
  Names names;               // the hidden packages, in file order
  std::size_t segments = 0;  // every segment of the file
};

HiddenPackages FindHiddenPackages(const std::string& file) {
  HiddenPackages found;
  UT_IFILE directory;
  if (!directory.load(file.c_str())) return found;
  UT_IFILESEGINFO info;
  while (directory.getnextseginfo(info)) {
    ++found.segments;
    if (info.gettype() == kHiddenPackageType) found.names.push_back(info.getname());
  }
  return found;
}

int RunPackagesFile(const Invocation& invocation) {
  const std::string& file = invocation.positional(0);
  const pmlib::PackageFile read = pmlib::readPackageFile(file);
  const Names& packages = read.packages;
  const HiddenPackages hidden = read.loaded ? FindHiddenPackages(file) : HiddenPackages();
  // Only hidden packages are ever left out, and then all of them.
  const bool hiddenListed = !hidden.names.empty() && packages.size() == hidden.segments;
  if (invocation.json()) {
    PrintJson({{"file", file},
               {"loaded", read.loaded},
               {"packages", packages},
               {"hidden", hidden.names},
               {"hidden_listed", hiddenListed}});
  } else {
    Table table;
    table.add({"file:", file});
    table.add({"loaded:", YesNo(read.loaded)});
    table.add({"packages:", Joined(packages)});
    std::string hiddenText = Joined(hidden.names);
    if (!hidden.names.empty()) hiddenText += hiddenListed ? "  (listed)" : "  (not listed)";
    table.add({"hidden:", hiddenText});
    std::cout << table.str();
  }
  return read.loaded ? kExitOk : ReportNotLoaded(file);
}

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

Family MakeSpeedsFileFamily() {
  Command command{
      "",
      "FILE",
      "show what the speed reader extracts from a speed file (.spd)",
      {kJson},
      "Reads the speed file FILE as the library does and shows what it extracts: whether the\n"
      "file was loaded; minspd, whether it has a \"-0\" segment (a minimum speed grade);\n"
      "spd411, whether it has a \"-411\" segment; and the speed grades, the names of all other\n"
      "segments except \"-0P\", in file order. Names are matched exactly, letter case included.\n"
      "Only the file's directory is read.\n"
      "\n"
      "With --json: {\"file\": FILE, \"loaded\": BOOL, \"minspd\": BOOL, \"spd411\": BOOL,\n"
      "\"speeds\": [NAME, ...]}.\n",
      "  pmtool speeds-file ab12e.spd          # loaded, minspd yes, speeds -3 -4\n"
      "  pmtool speeds-file --json ab40e.spd\n",
      "  0  the file was loaded and its contents shown\n"
      "  1  FILE is missing, empty, or not a readable speed file (the result is still shown)\n",
      1,
      1,
      RunSpeedsFile};
  return Family{
      "speeds-file", "Speed files (.spd) as the library reads them.", {std::move(command)}};
}

Family MakePackagesFileFamily() {
  Command command{
      "",
      "FILE",
      "show what the package reader extracts from a package file (.pkg)",
      {kJson},
      "Reads the package file FILE as the library does and shows what it extracts: whether the\n"
      "file was loaded and the packages, the segment names in file order. Segments of type 1\n"
      "are hidden packages: the library lists them only when the environment variable\n"
      "PM_HIDDEN_PACKAGES is present (with any value). They are shown apart, with whether\n"
      "they were listed. Only the file's directory is read.\n"
      "\n"
      "With --json: {\"file\": FILE, \"loaded\": BOOL, \"packages\": [NAME, ...],\n"
      "\"hidden\": [NAME, ...], \"hidden_listed\": BOOL}.\n",
      "  pmtool packages-file ab12e.pkg                         # vq100 hidden, not listed\n"
      "  PM_HIDDEN_PACKAGES= pmtool packages-file ab12e.pkg     # vq100 listed\n"
      "  pmtool packages-file --json ab40e.pkg\n",
      "  0  the file was loaded and its contents shown\n"
      "  1  FILE is missing, empty, or not a readable package file (the result is still shown)\n",
      1,
      1,
      RunPackagesFile};
  return Family{
      "packages-file", "Package files (.pkg) as the library reads them.", {std::move(command)}};
}

}  // namespace

const Family& SpeedsFileFamily() {
  static const Family family = MakeSpeedsFileFamily();
  return family;
}

const Family& PackagesFileFamily() {
  static const Family family = MakePackagesFileFamily();
  return family;
}

}  // namespace pmtool
