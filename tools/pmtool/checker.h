// pmtool check: the lint of an installation and the part-name round trip, kept apart from the
// command's output so that each finding is one value with the file and key it concerns.
#ifndef PMTOOL_CHECKER_H
#define PMTOOL_CHECKER_H

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "pmport/port_msg.h"

namespace pmtool {

// One problem of an installation.
struct Finding {
  std::string file;     // the file concerned (a definition, data file or pattern file)
  std::string key;      // the key or entry concerned; empty when the whole file is
  std::string arch;     // the module concerned; empty for an installation-wide file
  std::string kind;     // a stable name for the kind of problem: "missing-key", "bad-format", ...
  std::string message;  // what is wrong, for people
};

using FindingSink = std::function<void(const Finding&)>;

// Hands each distinct finding (same file, key, kind and message) once to `sink`, so that a
// problem seen from several modules (a friend shared by a chain) is told once.
class FindingFilter {
 public:
  explicit FindingFilter(FindingSink sink) : sink_(std::move(sink)) {}
  void add(Finding finding);

 private:
  FindingSink sink_;
  std::set<std::tuple<std::string, std::string, std::string, std::string>> seen_;
};

// Collects the library's warnings and errors while it lives, instead of letting them reach the
// terminal; status texts and override notices are dropped and debug traces go on to the
// previous handler (PM_TRACE).
class LibraryMessages {
 public:
  LibraryMessages();
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;

  // The messages collected since the last call, oldest first.
  std::vector<Port::Message> take();

 private:
  std::vector<Port::Message> messages_;
  Port::MsgHandler previous_;
};

// A message of the library as a finding's text: its kind and its text on one line.
std::string MessageText(const Port::Message& message);

// The modules to check: those named (names or aliases), or every module of the installation
// (supported and unsupported) when `names` is empty.
std::vector<std::string> ModulesToCheck(const std::vector<std::string>& names);

// Reports every entry of the installation path list that does not exist or is not a folder.
void CheckInstallationEntries(FindingFilter& findings);

// Lints `modules` and the installation-wide files (aliases, pattern files) as far as they concern
// them; `everything` says that no module was named, so installation-wide problems all count.
void LintInstallation(const std::vector<std::string>& modules, bool everything,
                      FindingFilter& findings);

// Composes every valid part name of the architectures among `modules` that part names can bind
// to, parses each back and reports every name that binds elsewhere, as it is found. Returns the
// number of names tried.
std::size_t RoundTripPartNames(const std::vector<std::string>& modules, bool everything,
                               FindingFilter& findings);

}  // namespace pmtool

#endif  // PMTOOL_CHECKER_H
