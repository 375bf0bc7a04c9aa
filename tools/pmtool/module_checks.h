// pmtool check, one module at a time, and what the installation-wide checks share with it: the
// definitions read as the library's reader reads them, each file once.
#ifndef PMTOOL_MODULE_CHECKS_H
#define PMTOOL_MODULE_CHECKS_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "checker.h"
#include "pmport/port_string.h"
#include "pmport/sfp_acd.h"

namespace pmtool {

inline constexpr char kKeyArchName[] = "ARCH_NAME";

// Module, device and speed names are compared lower-cased, as the library compares them.
using Port::Lowered;

class Definitions {
 public:
  // The reader of `path`, read on first use.
  const StaticAcdRead& Read(const std::string& path);

 private:
  std::map<std::string, std::unique_ptr<StaticAcdRead>> readers_;
};

// A key's whole value, blanks around it removed; empty when absent.
std::string Value(const StaticAcdRead& reader, const std::string& key);

// Checks each of `modules` on its own: its definition and friend chain, formats, data files,
// devices and virtual entries, with whatever the library says meanwhile.
void LintModules(const std::vector<std::string>& modules, Definitions& definitions,
                 FindingFilter& findings);

}  // namespace pmtool

#endif  // PMTOOL_MODULE_CHECKS_H
