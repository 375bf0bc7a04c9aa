// Helpers of the speed and package reader tests: segmented files and what a reader lists.
#ifndef PMLIB_TESTS_LIB_READER_FILES_H
#define PMLIB_TESTS_LIB_READER_FILES_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pmtest.h"

namespace readertest {

using Segments = std::vector<std::pair<std::string, int>>;  // name, type

// Writes a segmented file with these segments; each carries a little content, which the readers
// must never need.
inline void WriteSegments(const std::string& path, const Segments& segments) {
  std::vector<pmtest::Segment> written;
  for (const auto& [name, type] : segments) written.push_back({name, type, "contents of " + name});
  pmtest::WriteSegmentedFile(path, written);
}

// The names a reader lists, in order.
template <class Reader>
std::vector<std::string> Listed(const Reader& reader) {
  std::vector<std::string> names;
  for (const auto& name : reader) names.push_back(name.c_str());
  return names;
}

}  // namespace readertest

#endif  // PMLIB_TESTS_LIB_READER_FILES_H
