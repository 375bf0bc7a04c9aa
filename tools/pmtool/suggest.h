// Did-you-mean: the names closest to what a user typed, by edit distance.
#ifndef PMTOOL_SUGGEST_H
#define PMTOOL_SUGGEST_H

#include <cstddef>
#include <string>
#include <vector>

namespace pmtool {

// The number of single-character insertions, deletions, substitutions and swaps of neighbours
// that turn `a` into `b` (each part of the text edited once), ASCII letters compared ignoring
// case (names of devices, packages and architectures are matched ignoring case).
std::size_t EditDistance(const std::string& a, const std::string& b);

// The choices closest to `typed`: those at the smallest distance, in the order of `choices`, at
// most three, and only when close enough to be a plausible slip: within a third of the typed
// length (at least one edit).
std::vector<std::string> ClosestNames(const std::string& typed,
                                      const std::vector<std::string>& choices);

}  // namespace pmtool

#endif  // PMTOOL_SUGGEST_H
