// The installation pmtool works on.
#include "installation.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "pmport/port_path.h"

namespace pmtool {
namespace {

namespace fs = std::filesystem;

void AppendEntries(const Port::PathList& list, std::vector<std::string>& entries) {
  for (const auto& entry : list) entries.push_back(entry.str());
}

bool IsDirectory(const fs::path& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

// <prefix>/share/pmlib/sample for the prefix whose bin/ holds the running executable.
fs::path SampleBesideExecutable() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error) return fs::path();
  return executable.parent_path().parent_path() / "share" / "pmlib" / "sample";
}

// Where the list in use came from, as SelectInstallation returned it.
std::string& Source() {
  static std::string source;
  return source;
}

// Where the user fixes a broken entry.
std::string FixFor(const std::string& source) {
  if (source == "--install" || source == "KORVAN_PATH") return "correct it in " + source;
  return "reinstall pmtool's bundled sample, or name an installation with --install or "
         "KORVAN_PATH";
}

// What is wrong with `entry` as an installation folder; empty when nothing is.
std::string EntryProblem(const std::string& entry) {
  std::error_code error;
  const fs::file_status status = fs::status(entry, error);
  if (fs::is_directory(status)) return std::string();
  if (status.type() == fs::file_type::not_found) return "the installation entry does not exist";
  if (error) return "the installation entry cannot be reached (" + error.message() + ")";
  return "the installation entry is not a folder";
}

}  // namespace

bool NamesNoFolder(const std::string& searchPath) {
  return Port::PathList::FromSearchPath(searchPath.c_str()).empty();
}

std::vector<BrokenEntry> BrokenInstallationEntries() {
  std::vector<BrokenEntry> broken;
  for (const auto& entry : Port::KorvanPath::GetInstance()) {
    const std::string problem = EntryProblem(entry.str());
    if (!problem.empty()) broken.push_back({entry.str(), problem + "; " + FixFor(Source())});
  }
  return broken;
}

std::string BundledSample() {
  const fs::path beside = SampleBesideExecutable();
  if (!beside.empty() && IsDirectory(beside)) return beside.lexically_normal().string();
  if (IsDirectory(PMTOOL_BUILD_SAMPLE)) return PMTOOL_BUILD_SAMPLE;
  return PMTOOL_INSTALLED_SAMPLE;
}

std::string SelectInstallation(const std::vector<std::string>& installOptions) {
  if (!installOptions.empty()) {
    std::vector<std::string> entries;
    for (const std::string& option : installOptions) {
      AppendEntries(Port::PathList::FromSearchPath(option.c_str()), entries);
    }
    Port::KorvanPath::Set(entries);
    return Source() = "--install";
  }
  const char* fromEnvironment = std::getenv("KORVAN_PATH");
  if (fromEnvironment && !NamesNoFolder(fromEnvironment)) return Source() = "KORVAN_PATH";
  Port::KorvanPath::Set({BundledSample()});
  return Source() = "bundled sample";
}

std::string InstallationText() {
  std::string text;
  for (const auto& entry : Port::KorvanPath::GetInstance()) {
    if (!text.empty()) text += ':';
    text += entry.str();
  }
  return text;
}

}  // namespace pmtool
