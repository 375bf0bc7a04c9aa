// Did-you-mean suggestions.
#include "suggest.h"

#include <algorithm>
#include <cctype>

namespace pmtool {
namespace {

constexpr std::size_t kMaxSuggestions = 3;

char Folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::size_t Difference(std::size_t a, std::size_t b) { return a > b ? a - b : b - a; }

}  // namespace

std::size_t EditDistance(const std::string& a, const std::string& b) {
  // Three rows of the distance table: two back (for a swap of neighbours), one back, current.
  std::vector<std::size_t> twoBack(b.size() + 1);
  std::vector<std::size_t> previous(b.size() + 1);
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
      const std::size_t substitution = previous[j - 1] + (same ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
      const bool swapped = i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
                           Folded(a[i - 2]) == Folded(b[j - 1]);
      if (swapped) current[j] = std::min(current[j], twoBack[j - 2] + 1);
    }
    std::swap(twoBack, previous);
    std::swap(previous, current);
  }
  return previous[b.size()];
}

std::vector<std::string> ClosestNames(const std::string& typed,
                                      const std::vector<std::string>& choices) {
  const std::size_t limit = std::max<std::size_t>(1, typed.size() / 3);
  std::vector<std::pair<std::size_t, std::size_t>> ranked;  // distance, index in choices
  for (std::size_t index = 0; index < choices.size(); ++index) {
    // The lengths alone bound the distance from below; this keeps a very long typed name from
    // costing a full table against every choice.
    if (Difference(typed.size(), choices[index].size()) > limit) continue;
    const std::size_t distance = EditDistance(typed, choices[index]);
    if (distance <= limit) ranked.emplace_back(distance, index);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> closest;
  for (std::size_t i = 0; i < ranked.size() && i < kMaxSuggestions; ++i) {
    if (ranked[i].first > ranked.front().first) break;
    closest.push_back(choices[ranked[i].second]);
  }
  return closest;
}

}  // namespace pmtool
