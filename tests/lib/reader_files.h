// Helpers of the speed and package reader tests: segmented files and what a reader lists.
#ifndef PMLIB_TESTS_LIB_READER_FILES_H
#define PMLIB_TESTS_LIB_READER_FILES_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pmport/ut_ifile.h"

namespace readertest {

using Segments = std::vector<std::pair<std::string, int>>;  // name, type

// Writes a segmented file with these segments; each carries a little content, which the readers
// must never need.
inline void WriteSegments(const std::string& path, const Segments& segments) {
  UT_SEGWRITER writer;
  for (const auto& segment : segments) writer.add(segment.first, segment.second, "contents of " + segment.first);
  ASSERT_TRUE(writer.write(path.c_str())) << writer.geterror();
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
