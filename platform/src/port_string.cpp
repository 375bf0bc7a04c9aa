// Strings of the platform layer.
#include "pmport/port_string.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// ASCII letters only, whatever locale the host has set, and without a library call per character:
// names are lowered and compared on every lookup.
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int CompareIgnoringCase(const char* a, const char* b) {
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  for (;; ++a, ++b) {
    const int ca = static_cast<unsigned char>(AsciiLower(*a));
    const int cb = static_cast<unsigned char>(AsciiLower(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

// The cipher of enciphered names: printable ASCII (32..126) rotated by 47 places, an involution
// that keeps names printable and so survives being kept in a source file.
char Rotate47(char c) {
  if (c < 33 || c > 126) return c;
  return static_cast<char>(33 + (c - 33 + 47) % 94);
}

}  // namespace

namespace Port {

StringBase<char>::StringBase(const char* s1, const char* s2, const char* s3, const char* s4,
                             const char* s5, const char* s6, const char* s7, const char* s8,
                             const char* s9) {
  for (const char* part : {s1, s2, s3, s4, s5, s6, s7, s8, s9}) {
    if (part) value_ += part;
  }
}

int StringBase<char>::Compare(const char* text, int type) const {
  if (type == 1) return CompareIgnoringCase(value_.c_str(), text ? text : "");
  return std::strcmp(value_.c_str(), text ? text : "");
}

StringBase<char> StringBase<char>::Extract(const Port_Range& range) const {
  if (range.empty() || range.first < 0 || static_cast<std::size_t>(range.first) >= value_.size()) {
    return StringBase();
  }
  return StringBase(value_.substr(static_cast<std::size_t>(range.first),
                                  static_cast<std::size_t>(range.length())));
}

void StringBase<char>::Remove(const Port_Range& range) {
  if (range.empty() || range.first < 0 || static_cast<std::size_t>(range.first) >= value_.size()) {
    return;
  }
  value_.erase(static_cast<std::size_t>(range.first), static_cast<std::size_t>(range.length()));
}

char* strdup(const char* text) { return UT_STR::Dup(text); }

int stricmp(const char* a, const char* b) { return CompareIgnoringCase(a, b); }

char* strlwr(char* text) {
  if (text) {
    for (char* p = text; *p; ++p) *p = AsciiLower(*p);
  }
  return text;
}

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLower(c);
  return lowered;
}

std::string Lowered(const char* text) { return Lowered(std::string_view(text ? text : "")); }

String strdec(const char* text) {
  std::string copy(text ? text : "");
  UT_STR::Decode(copy.data());
  return String(std::move(copy));
}

}  // namespace Port

char* UT_STR::Dup(const char* text) {
  if (!text) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  char* copy = new char[size];
  std::memcpy(copy, text, size);
  return copy;
}

int UT_STR::AToI(const char* text) {
  if (!text) return 0;
  const long value = StrToL(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

long UT_STR::StrToL(const char* text, char** end, int base) {
  if (!text) {
    if (end) *end = nullptr;
    return 0;
  }
  const int savedErrno = errno;
  const long value = std::strtol(text, end, base);
  errno = savedErrno;
  return value;
}

int UT_STR::ICompare(const char* a, const char* b) { return CompareIgnoringCase(a, b); }
int UT_STR::_ICompare(const char* a, const char* b) { return CompareIgnoringCase(a, b); }

int UT_STR::_Compare(const char* a, const char* b) {
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  return std::strcmp(a, b);
}

char* UT_STR::Upper(char* text) {
  if (text) {
    for (char* p = text; *p; ++p) *p = AsciiUpper(*p);
  }
  return text;
}

bool UT_STR::IsAscii(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u < 128 && std::isalnum(u)) || c == '_' || c == '-' || c == '.' || c == '+';
}

char* UT_STR::Decode(char* text) {
  if (text) {
    for (char* p = text; *p; ++p) *p = Rotate47(*p);
  }
  return text;
}

char* UT_STR::Encode(char* text) { return Decode(text); }
