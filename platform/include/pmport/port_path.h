// The installation path list: the ordered installation directories, the first overriding, the
// last being the base installation.
#ifndef PMPORT_PORT_PATH_H
#define PMPORT_PORT_PATH_H

#include <pmport/export.h>

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "pmport/port_string.h"

namespace Port {

// A bidirectional iterator over the entries of a PathList.
class PMPORT_API PathListIterator {
 public:
  using iterator_category = std::bidirectional_iterator_tag;
  using value_type = StringBase<char>;
  using difference_type = std::ptrdiff_t;
  using pointer = const StringBase<char>*;
  using reference = const StringBase<char>&;

  PathListIterator() = default;
  explicit PathListIterator(std::vector<StringBase<char>>::const_iterator position)
      : position_(position) {}

  reference operator*() const { return *position_; }
  pointer operator->() const { return &*position_; }
  PathListIterator& operator++() {
    ++position_;
    return *this;
  }
  PathListIterator operator++(int) {
    PathListIterator old = *this;
    ++position_;
    return old;
  }
  PathListIterator& operator--() {
    --position_;
    return *this;
  }
  PathListIterator operator--(int) {
    PathListIterator old = *this;
    --position_;
    return old;
  }
  friend bool operator==(const PathListIterator& a, const PathListIterator& b) {
    return a.position_ == b.position_;
  }
  friend bool operator!=(const PathListIterator& a, const PathListIterator& b) { return !(a == b); }

 private:
  std::vector<StringBase<char>>::const_iterator position_;
};

// An ordered list of directories.
class PMPORT_API PathList {
 public:
  PathList() = default;
  // The directories of `entries` in order; empty entries are dropped and one trailing "/" of an
  // entry is removed (a lone "/" stays as it is).
  explicit PathList(const std::vector<std::string>& entries);
  // The ":"-separated directories of `searchPath` (null or empty: an empty list), cleaned up as
  // above.
  static PathList FromSearchPath(const char* searchPath);

  PathListIterator begin() const { return PathListIterator(entries_.begin()); }
  PathListIterator end() const { return PathListIterator(entries_.end()); }
  // The final entry, the base installation; end() when the list is empty.
  PathListIterator last() const { return entries_.empty() ? end() : std::prev(end()); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  void Add(const std::string& entry);

  std::vector<StringBase<char>> entries_;
};

// The process's installation path list.
class PMPORT_API KorvanPath {
 public:
  // Built on first use from the environment variable KORVAN_PATH (":"-separated; unset or empty:
  // an empty list). The first construction is thread-safe.
  static const PathList& GetInstance();
  // Replaces the list, for hosts that take it from their own options. Meant to run before the
  // first lookup: readers of the list hold no lock, and the library's caches keep what they
  // found through the previous list.
  static void Set(const std::vector<std::string>& entries);
};

// `directory` and `name` joined with "/", unless the directory ends or the name starts with "/"
// or "\\" already.
PMPORT_API StringBase<char> JoinPath(const StringBase<char>& directory,
                                     const StringBase<char>& name);

// The one rule for names that become part of a path. A plain name stands for one entry of a
// folder and nothing else: not empty, not "." or "..", without "/" or NUL. Names come from
// definition files, the environment and callers; one that is not plain would lead a path out of
// the installation, so it names nothing.
PMPORT_API bool IsPlainName(std::string_view name);
// A relative path of plain names joined by single "/" ("sub/file.txt"): it can reach into a
// folder but never above or beside it.
PMPORT_API bool IsRelativeSubPath(std::string_view path);
// A plain name of letters, digits, "_" and "-" only: the platform's and the language's names.
PMPORT_API bool IsWordName(std::string_view name);

// Per-unit initialisation object of the path list; units construct one at load. The list itself
// is built on first use, never at load, so this only counts the units that hold one.
class PMPORT_API PathListInit {
 public:
  PathListInit();
  ~PathListInit();
  PathListInit(const PathListInit&) = delete;
  PathListInit& operator=(const PathListInit&) = delete;
  static int count();
};

}  // namespace Port

#endif  // PMPORT_PORT_PATH_H
