// Field addressing and index bounds on arbitrary value strings. The last two bytes of the input
// are the field and subfield separators (0 for none); the rest is the value.
//
// Invariants: an addressed field is a piece of the value without separators and without leading
// or trailing spaces; an index at or beyond the bounds addresses nothing; below them, with two
// distinct separators other than the space, the field is the trimmed piece the separators cut
// out (empty exactly when that piece is); the reader's string and count forms agree with the
// view forms.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "pmport/sfp_acd.h"

namespace {

using pmfuzz::Check;

// Only the first and last indexes of a long value are tried, so one input stays linear.
constexpr int kIndexesTried = 24;

// The indexes to try below `bound` and the two past it. Without a separator the index is not
// read at all, so 0 alone is tried.
std::vector<int> IndexesUpTo(char separator, int bound) {
  if (separator == '\0') return {0};
  std::vector<int> indexes;
  const int head = std::min(bound, kIndexesTried);
  for (int i = 0; i < head; ++i) indexes.push_back(i);
  for (int i = std::max(head, bound - 2); i < bound + 2; ++i) indexes.push_back(i);
  return indexes;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Pieces(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  if (separator == '\0') return {text};
  for (;;) {
    const std::size_t at = text.find(separator);
    pieces.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return pieces;
    text.remove_prefix(at + 1);
  }
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

void CheckShape(std::string_view field, std::string_view value, char sep1, char sep2) {
  Check(Inside(field, value), "an addressed field lies outside its value");
  Check(sep1 == '\0' || field.find(sep1) == std::string_view::npos,
        "a field holds the field separator", field);
  Check(sep2 == '\0' || field.find(sep2) == std::string_view::npos,
        "a field holds the subfield separator", field);
  Check(field.empty() || (field.front() != ' ' && field.back() != ' '), "a field keeps spaces",
        field);
}

void CheckAddressing(std::string_view value, char sep1, char sep2) {
  const auto [fields, mostSubfields] = Sfp_ACD::IndexBounds(value, sep1, sep2);
  Check(value.empty() == (fields == 0), "an empty value alone has no fields");
  const bool exact = sep1 != sep2 && sep1 != ' ' && sep2 != ' ';
  const std::vector<std::string_view> pieces = Pieces(value, sep1);
  if (!value.empty() && sep1 != '\0')
    Check(fields == static_cast<int>(pieces.size()), "field count");

  for (const int i : IndexesUpTo(sep1, fields)) {
    const short subfields = Sfp_ACD::SubfieldCount(value, sep1, i, sep2);
    Check(subfields <= mostSubfields, "a field has more subfields than the bounds allow");
    Check((i < fields) == (subfields > 0), "subfields counted for a field beyond the bounds");
    for (const int j : IndexesUpTo(sep2, subfields)) {
      const std::string_view field = Sfp_ACD::AddressField(value, sep1, i, sep2, j);
      CheckShape(field, value, sep1, sep2);
      if (i >= fields || j >= subfields) {
        Check(field.empty() || (sep1 == sep2 && sep1 != '\0'),
              "an index beyond the bounds addresses a field", field);
        continue;
      }
      if (!exact) continue;
      const std::string_view piece = TrimSpaces(
          Pieces(pieces[static_cast<std::size_t>(i)], sep2)[static_cast<std::size_t>(j)]);
      Check(field == piece, "the field is not the piece the separators cut out", field);
    }
  }
  Check(Sfp_ACD::AddressField(value, sep1, -1, sep2, 0).empty(),
        "a negative index addresses a field");
}

// The reader's C-string forms, which stop at the first NUL, agree with the view forms.
void CheckStringForms(const std::string& value, char sep1, char sep2) {
  const std::string_view text(value.c_str());
  const auto bounds = StaticAcdRead::GetMaxIndexFromString(value.c_str(), sep1, sep2);
  Check(bounds == Sfp_ACD::IndexBounds(text, sep1, sep2), "GetMaxIndexFromString");
  short fields = -1, unused = 0;
  StaticAcdRead::getmaxindexbystring(value.c_str(), &sep1, fields, nullptr, unused);
  Check(fields == Sfp_ACD::IndexBounds(text, sep1, '\0').first,
        "getmaxindexbystring counts fields");
  for (short i = 0; i < std::min<short>(bounds.first, 4); ++i) {
    short field = i, subfields = -1;
    StaticAcdRead::getmaxindexbystring(value.c_str(), &sep1, field, &sep2, subfields);
    Check(field == i && subfields == Sfp_ACD::SubfieldCount(text, sep1, i, sep2),
          "getmaxindexbystring counts subfields");
    const Port::String byString =
        StaticAcdRead::GetStringFromString(value.c_str(), sep1, i, sep2, 1);
    Check(byString.str() == Sfp_ACD::AddressField(text, sep1, i, sep2, 1), "GetStringFromString");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char sep1 = static_cast<char>(data[size - 2]);
  const char sep2 = static_cast<char>(data[size - 1]);
  const std::string value(reinterpret_cast<const char*>(data), size - 2);
  CheckAddressing(value, sep1, sep2);
  CheckAddressing(value, sep1, '\0');
  CheckAddressing(value, '\0', sep2);
  CheckStringForms(value, sep1, sep2);
  return 0;
}
