// The installation pmtool works on.
#ifndef PMTOOL_INSTALLATION_H
#define PMTOOL_INSTALLATION_H

#include <string>
#include <vector>

namespace pmtool {

// Sets the installation path list for this run: the directories of the --install values when
// there are any (each value a ":"-separated list, appended in order), else the list of
// KORVAN_PATH when that is set and not empty, else the bundled sample installation. Returns where
// the list came from: "--install", "KORVAN_PATH" or "bundled sample".
std::string SelectInstallation(const std::vector<std::string>& installOptions);

// The bundled sample installation: <prefix>/share/pmlib/sample beside the running pmtool when it
// exists (an installed pmtool, wherever the prefix was moved), else the build tree's sample when
// it exists (a pmtool run from its build tree), else the configured installation's sample.
std::string BundledSample();

// The installation path list in use, its entries joined with ":".
std::string InstallationText();

}  // namespace pmtool

#endif  // PMTOOL_INSTALLATION_H
