// Strings of the platform layer: Port::StringBase, the C-string helpers and UT_STR.
#ifndef PMPORT_PORT_STRING_H
#define PMPORT_PORT_STRING_H

#include <pmport/export.h>

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

// An owned C array, freed with delete[].
template <class T>
using auto_array = std::unique_ptr<T[]>;

// A range of character positions, both ends inclusive. A range whose last position is below its
// first is empty (no match).
struct PMPORT_API Port_Range {
  long first = 0;
  long last = -1;
  bool empty() const { return last < first; }
  long length() const { return empty() ? 0 : last - first + 1; }
};

namespace Port {

class Stream;

template <class C>
class StringBase;

// The library's string type. Only the char form is provided.
template <>
class PMPORT_API StringBase<char> {
 public:
  StringBase() = default;
  StringBase(const char* text) : value_(text ? text : "") {}  // NOLINT: implicit by design
  StringBase(const char* text, std::size_t length)
      : value_(text ? std::string(text, length) : std::string()) {}
  StringBase(const std::string& text) : value_(text) {}        // NOLINT: implicit by design
  StringBase(std::string&& text) : value_(std::move(text)) {}  // NOLINT: implicit by design
  // Concatenates the non-null arguments in order.
  StringBase(const char* s1, const char* s2, const char* s3, const char* s4 = nullptr,
             const char* s5 = nullptr, const char* s6 = nullptr, const char* s7 = nullptr,
             const char* s8 = nullptr, const char* s9 = nullptr);

  const char* c_str() const { return value_.c_str(); }
  std::size_t length() const { return value_.length(); }
  bool empty() const { return value_.empty(); }
  char operator[](std::size_t i) const { return value_[i]; }
  const std::string& str() const { return value_; }

  // 0 when equal; type 1 ignores ASCII letter case, any other type compares byte by byte.
  int Compare(const char* text, int type) const;
  // The characters of `range` (empty for an empty or out-of-bounds range).
  StringBase Extract(const Port_Range& range) const;
  // Removes the characters of `range`; an empty range changes nothing.
  void Remove(const Port_Range& range);
  // Replaces the content with the next line of `stream`, without its line end. False at end of
  // file with nothing read.
  bool ReadLine(Stream* stream);

  StringBase& operator+=(const StringBase& other) {
    value_ += other.value_;
    return *this;
  }
  StringBase& operator+=(const char* other) {
    if (other) value_ += other;
    return *this;
  }
  StringBase& operator+=(char c) {
    value_ += c;
    return *this;
  }

  friend StringBase operator+(StringBase a, const StringBase& b) { return a += b; }
  friend StringBase operator+(StringBase a, const char* b) { return a += b; }
  friend StringBase operator+(const char* a, const StringBase& b) { return StringBase(a) += b; }
  friend bool operator==(const StringBase& a, const StringBase& b) { return a.value_ == b.value_; }
  friend bool operator!=(const StringBase& a, const StringBase& b) { return !(a == b); }
  friend bool operator==(const StringBase& a, const char* b) { return a.value_ == (b ? b : ""); }
  friend bool operator!=(const StringBase& a, const char* b) { return !(a == b); }
  friend bool operator<(const StringBase& a, const StringBase& b) { return a.value_ < b.value_; }
  friend std::ostream& operator<<(std::ostream& out, const StringBase& s) {
    return out << s.value_;
  }

 private:
  std::string value_;
};

using String = StringBase<char>;

// A copy allocated with new[] (the caller deletes it as an array); null for null.
PMPORT_API char* strdup(const char* text);
// Case-insensitive comparison (ASCII), like strcmp; a null argument sorts first.
PMPORT_API int stricmp(const char* a, const char* b);
// Lower-cases `text` in place (ASCII) and returns it.
PMPORT_API char* strlwr(char* text);
// A copy of `text` with its ASCII letters lower-cased: module, device and file names are
// compared in lower case throughout the library and its tools.
PMPORT_API std::string Lowered(std::string_view text);
// The same for a C string; null reads as empty.
PMPORT_API std::string Lowered(const char* text);
// A deciphered copy of `text` (see UT_STR::Decode); empty for null.
PMPORT_API String strdec(const char* text);

}  // namespace Port

// String utilities of the utilities library.
class PMPORT_API UT_STR {
 public:
  // A copy allocated with new[]; null for null.
  static char* Dup(const char* text);
  // Leading blanks, sign and decimal digits, as atoi; 0 for null, empty or no digits.
  static int AToI(const char* text);
  static int AToI(const Port::String& text) { return AToI(text.c_str()); }
  // strtol with base; `end` may be null.
  static long StrToL(const char* text, char** end, int base);
  // Case-insensitive comparisons (ASCII), 0 when equal.
  static int ICompare(const char* a, const char* b);
  static int _ICompare(const char* a, const char* b);
  // Case-sensitive comparison, 0 when equal.
  static int _Compare(const char* a, const char* b);
  // Upper-cases `text` in place (ASCII) and returns it.
  static char* Upper(char* text);
  // Accepts letters, digits, '_', '-', '.' and '+': the characters of a library name.
  static bool IsAscii(char c);
  // Deciphers in place a name enciphered with Encode; returns `text`.
  static char* Decode(char* text);
  // Enciphers in place (the inverse of Decode); returns `text`.
  static char* Encode(char* text);
};

#endif  // PMPORT_PORT_STRING_H
