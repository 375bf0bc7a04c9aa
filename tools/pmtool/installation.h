// The installation pmtool works on.
#ifndef PMTOOL_INSTALLATION_H
#define PMTOOL_INSTALLATION_H

#include <string>
#include <vector>

namespace pmtool {

// Sets the installation path list for this run: the directories of the --install values when
// there are any (each value a ":"-separated list, appended in order), else the list of
// KORVAN_PATH when that names a folder, else the bundled sample installation. Returns where
// the list came from: "--install", "KORVAN_PATH" or "bundled sample".
std::string SelectInstallation(const std::vector<std::string>& installOptions);

// Whether a ":"-separated list of folders (an --install value, KORVAN_PATH) names none: it is
// empty or holds nothing but separators.
bool NamesNoFolder(const std::string& searchPath);

// An entry of the installation path list in use that is no folder.
struct BrokenEntry {
  std::string entry;
  std::string problem;  // what is wrong and where to fix it
};

// The entries of the installation path list in use that do not exist or are not folders, in
// list order.
std::vector<BrokenEntry> BrokenInstallationEntries();

// The bundled sample installation: <prefix>/share/pmlib/sample beside the running pmtool when it
// exists (an installed pmtool, wherever the prefix was moved), else the build tree's sample when
// it exists (a pmtool run from its build tree), else the configured installation's sample.
std::string BundledSample();

// The installation path list in use, its entries joined with ":".
std::string InstallationText();

}  // namespace pmtool

#endif  // PMTOOL_INSTALLATION_H
