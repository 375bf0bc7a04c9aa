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

}  // namespace

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
    return "--install";
  }
  const char* fromEnvironment = std::getenv("KORVAN_PATH");
  if (fromEnvironment && *fromEnvironment) return "KORVAN_PATH";
  Port::KorvanPath::Set({BundledSample()});
  return "bundled sample";
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
