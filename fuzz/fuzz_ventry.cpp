// Virtual-entry values: the first ";"-separated field of an arbitrary value, parsed as the
// library reads an entry.
//
// Invariants: a library name is its text's leading blanks and then only letters, digits, "_",
// "-", "." and "+" (never a path separator); an entry that names a library has a non-blank one;
// a symbol given with parentheses is the text before "("; one given with "," has no trailing
// blank; each malformed status matches the shape of the field.
#include <cctype>
#include <cstdint>
#include <string>

#include "baspmdlm.h"
#include "fuzz_support.h"
#include "pmport/port_string.h"
#include "pmport/sfp_acd.h"

namespace {

using pmfuzz::Check;

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

void CheckLibraryName(const std::string& text) {
  const std::string name = PMLibraryName(text);
  Check(text.compare(0, name.size(), name) == 0, "a library name is not a prefix of its text",
        name);
  std::size_t at = 0;
  while (at < name.size() && IsBlank(name[at])) ++at;
  for (; at < name.size(); ++at)
    Check(UT_STR::IsAscii(name[at]), "a library name holds a foreign character", name);
  Check(name.find('/') == std::string::npos, "a library name holds a path separator", name);
}

void CheckEntry(const std::string& field) {
  const PMVentry entry = PMParseVentryField(field);
  Check(entry.field == field, "the entry does not keep its field", field);
  const std::size_t open = field.find('(');
  switch (entry.status) {
    case PMVentryStatus::Found:
    case PMVentryStatus::Null: {
      CheckLibraryName(entry.library);
      Check(PMLibraryName(entry.library) == entry.library, "the library name was not cut",
            entry.library);
      bool blank = true;
      for (const char c : entry.library) blank = blank && IsBlank(c);
      Check(!blank, "an entry names a blank library", field);
      if (open != std::string::npos) {
        Check(entry.symbol == field.substr(0, open).c_str(),
              "the symbol is not the text before \"(\"", field);
      } else {
        Check(entry.symbol.empty() || !IsBlank(entry.symbol.back()),
              "the symbol keeps trailing blanks", field);
      }
      break;
    }
    case PMVentryStatus::Empty:
      Check(field.empty(), "a non-empty field is called empty", field);
      break;
    case PMVentryStatus::NoParen:
      Check(open != std::string::npos && field.find(')', open) == std::string::npos,
            "no closing paren", field);
      break;
    case PMVentryStatus::NoLibrary:
      Check(!field.empty(), "an empty field is said to lack a library", field);
      break;
    case PMVentryStatus::Absent:
      pmfuzz::Fail("a parsed field is absent", field);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);
  CheckLibraryName(value);
  CheckEntry(value);
  // As the library reads an entry from a definition value: its first ";"-separated field.
  CheckEntry(StaticAcdRead::GetStringFromString(value.c_str(), ';', 0, '\0', 0).str());
  return 0;
}
