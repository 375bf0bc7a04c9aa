// The installation path list.
#include "pmport/port_path.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "pmport/port_env.h"
#include "pmport/port_thread.h"

namespace Port {

namespace {

// The entry without its trailing "/" characters; a root of only "/" stays "/".
std::string WithoutTrailingSlashes(const std::string& entry) {
  std::string::size_type end = entry.find_last_not_of('/');
  return end == std::string::npos ? entry.substr(0, 1) : entry.substr(0, end + 1);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The list is a function-local static: built on first use, thread-safely, never at load.
PathList& ProcessPathList() {
  static PathList list = PathList::FromSearchPath(Port_Env::GetEnv("KORVAN_PATH"));
  return list;
}

Port_ThrMutex& SetMutex() {
  static Port_ThrMutex mutex;
  return mutex;
}

std::atomic<int> pathListUnits{0};

}  // namespace

PathList::PathList(const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) Add(entry);
}

PathList PathList::FromSearchPath(const char* searchPath) {
  PathList list;
  if (!searchPath) return list;
  const char* start = searchPath;
  for (;;) {
    const char* stop = std::strchr(start, ':');
    if (!stop) {
      list.Add(start);
      return list;
    }
    list.Add(std::string(start, stop));
    start = stop + 1;
  }
}

void PathList::Add(const std::string& entry) {
  if (!entry.empty()) entries_.emplace_back(WithoutTrailingSlashes(entry));
}

const PathList& KorvanPath::GetInstance() { return ProcessPathList(); }

void KorvanPath::Set(const std::vector<std::string>& entries) {
  PathList replacement(entries);
  ThrGuard<Port_ThrMutex> guard(SetMutex());
  ProcessPathList() = std::move(replacement);
}

StringBase<char> JoinPath(const StringBase<char>& directory, const StringBase<char>& name) {
  const bool directoryEnds = !directory.empty() && IsSeparator(directory[directory.length() - 1]);
  const bool nameStarts = !name.empty() && IsSeparator(name[0]);
  if (directoryEnds || nameStarts) return directory + name;
  return directory + "/" + name;
}

PathListInit::PathListInit() { ++pathListUnits; }
PathListInit::~PathListInit() { --pathListUnits; }
int PathListInit::count() { return pathListUnits; }

bool IsPlainName(std::string_view name) {
  // A plain loop: find_first_of would search the two-character set once per character.
  return !name.empty() && name != "." && name != ".." &&
         std::none_of(name.begin(), name.end(), [](char c) { return c == '/' || c == '\0'; });
}

bool IsRelativeSubPath(std::string_view path) {
  for (;;) {
    const std::string_view::size_type slash = path.find('/');
    if (!IsPlainName(path.substr(0, slash))) return false;
    if (slash == std::string_view::npos) return true;
    path.remove_prefix(slash + 1);
  }
}

bool IsWordName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    // Plain ASCII, whatever the host's locale says a letter is.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

}  // namespace Port
