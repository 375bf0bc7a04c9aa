// Directory listings.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "pmport/port_file.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsDotOrDotDot(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Whether the entry is a directory (a link to one counts), asking the file system only when the
// listing does not say.
bool IsDirectory(const std::string& directory, const dirent& entry) {
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return entry.d_type == DT_DIR;
  struct stat info;
  const std::string path = directory + "/" + entry.d_name;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

UT_DIR::UT_DIR(const char* directory, int flag) {
  if (!directory) return;
  const DirHandle dir(::opendir(directory));
  if (!dir) return;
  const bool withDirectories = (flag & WithDirectories) != 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsDotOrDotDot(entry->d_name)) continue;
    if (!withDirectories && IsDirectory(directory, *entry)) continue;
    names_.emplace_back(entry->d_name);
  }
  // std::string compares bytes as unsigned char: ascending byte order.
  std::sort(names_.begin(), names_.end());
  valid_ = true;
}

UT_DIR::iterator UT_DIR::begin() const { return iterator(&names_, 0, nullptr); }

UT_DIR::iterator UT_DIR::begin(const char* pattern) const {
  return iterator(&names_, 0, std::make_shared<const std::string>(pattern ? pattern : ""));
}

UT_DIR::iterator UT_DIR::end() const { return iterator(&names_, names_.size(), nullptr); }

UT_DIR::iterator::iterator(const std::vector<Port::StringBase<char>>* names, std::size_t index,
                           std::shared_ptr<const std::string> pattern)
    : names_(names), index_(index), pattern_(std::move(pattern)) {
  SkipMismatches();
}

UT_DIR::iterator& UT_DIR::iterator::operator++() {
  ++index_;
  SkipMismatches();
  return *this;
}

void UT_DIR::iterator::SkipMismatches() {
  if (!pattern_) return;
  while (index_ < names_->size() &&
         ::fnmatch(pattern_->c_str(), (*names_)[index_].c_str(), 0) != 0) {
    ++index_;
  }
}
