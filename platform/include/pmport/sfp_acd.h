// Static file parser: the definition-file reader StaticAcdRead and the field addressing shared by
// every keyed lookup on definition values. The file format is described in
// docs/definition-files.md.
#ifndef PMPORT_SFP_ACD_H
#define PMPORT_SFP_ACD_H

#include <pmport/export.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/shared_array.hpp>

#include "pmport/port_string.h"

namespace Sfp_ACD {

// One key with its value, both NUL-terminated. The arrays are shared with whoever iterates the
// reader and must not be changed once handed to it.
using KeyValue = std::pair<boost::shared_array<char>, boost::shared_array<char>>;

// The first line of an enciphered definition file.
inline constexpr const char* kEncipheredMarker = "#!enciphered";

// The field of `value` addressed by a field separator and index and a subfield separator and
// index (a separator of 0 means none):
//   1. with a field separator and idx1 > 0, move past the idx1-th field separator (none left:
//      no field);
//   2. with a subfield separator and idx2 > 0, move past the idx2-th subfield separator (the
//      value ends, or a field separator comes first: no field);
//   3. skip spaces (' ' only);
//   4. the field runs up to the next field separator, subfield separator or the end;
//   5. trailing spaces are removed.
// Returns a view into `value`; an empty view means "no field" (an empty or all-space field counts
// as none). A negative index addresses nothing.
PMPORT_API std::string_view AddressField(std::string_view value, char sep1, int idx1, char sep2,
                                         int idx2);

// The index bounds of `value`: the number of sep1-separated fields, and the greatest number of
// sep2-separated subfields within one field. An empty value gives (0, 0); a missing separator
// counts the whole value (or field) as one. Both saturate at the largest short.
PMPORT_API std::pair<short, short> IndexBounds(std::string_view value, char sep1, char sep2);

// The number of sep2-separated subfields of the field with index `field` (0 when that field does
// not exist). Without sep1 the whole value is the field. Saturates at the largest short.
PMPORT_API short SubfieldCount(std::string_view value, char sep1, int field, char sep2);

// The same counts without a bound, for callers that must tell the last addressable index from
// one past the end: the number of sep1-separated fields (0 for an empty value), and the number of
// sep2-separated subfields of the field with index `field`.
PMPORT_API std::size_t CountFields(std::string_view value, char sep1);
PMPORT_API std::size_t CountSubfields(std::string_view value, char sep1, int field, char sep2);

// The enciphered form of a plain definition text: the marker line, then every line of `plain`
// enciphered with UT_STR::Encode. Lines end with "\n".
PMPORT_API std::string Encipher(std::string_view plain);

// How a reader stores its keys: private to the implementation, so that it may change without
// breaking programs built against this header.
struct Storage;

// Iterates the keys of a reader in the order they were first added. Like a vector iterator, it is
// invalidated by adding keys to the reader. The pair it yields shares its arrays with the reader,
// made when the iterator is dereferenced.
class PMPORT_API Iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = KeyValue;
  using difference_type = std::ptrdiff_t;
  using pointer = const KeyValue*;
  using reference = const KeyValue&;

  Iterator() = default;
  Iterator(const Storage* storage, std::size_t position) : storage_(storage), position_(position) {}

  reference operator*() const { return Current(); }
  pointer operator->() const { return &Current(); }
  Iterator& operator++() {
    ++position_;
    made_ = false;
    return *this;
  }
  Iterator operator++(int) {
    Iterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const Iterator& a, const Iterator& b) {
    return a.position_ == b.position_;
  }
  friend bool operator!=(const Iterator& a, const Iterator& b) { return !(a == b); }

 private:
  const KeyValue& Current() const;

  const Storage* storage_ = nullptr;
  std::size_t position_ = 0;
  mutable KeyValue current_;
  mutable bool made_ = false;  // current_ holds the entry at position_
};

}  // namespace Sfp_ACD

// Reads definition files (".acd") into a set of keys with one text value each and answers keyed,
// field-addressed lookups on them in constant time. Several files may be read into one reader; a
// key read again takes the later value.
//
// Option bytes of the constructor:
//   decode       enciphered files (first line "#!enciphered") are deciphered as they are read;
//                without it they are held back until Decode(1). Plain files read the same
//                either way.
//   withfriends  the constructor does not read `path`: the caller reads every file, the
//                reader's own one last, with ReadFile. `path` is still the reader's location.
//   third        accepted for the callers' sake; it changes nothing.
//
// Queries are const and may run on several threads at once; ReadFile, Decode, insert and
// sortaddnewkey must not run concurrently with any other use of the same reader.
//
// The keys are held in a storage that copies of a reader share (see the copying constructor):
// many key stores of one architecture read the same files, and sharing spares each of them the
// read, the parse and the memory. A reader that changes copies its storage first, so sharing is
// never visible. The reader is a handle: what it holds lies behind its implementation object.
class PMPORT_API StaticAcdRead {
 public:
  StaticAcdRead(const char* path, const char* comparename, char* const* searchkeys,
                unsigned char decode, unsigned char withfriends, unsigned char third);
  // A reader for `path` that holds `source`'s keys instead of reading files: what a reader of
  // `path` with the option `decode` would hold after reading the files `source` read (the same
  // keys whatever `decode` is, unless source.ReadEnciphered()).
  StaticAcdRead(const StaticAcdRead& source, const char* path, const char* comparename,
                char* const* searchkeys, unsigned char decode);
  ~StaticAcdRead();
  StaticAcdRead(const StaticAcdRead&) = delete;
  StaticAcdRead& operator=(const StaticAcdRead&) = delete;

  // Adds the keys of one more file (read in one pass). Non-zero when the file was read and held
  // at least one key.
  unsigned char ReadFile(const char* path);
  // With `decode` set: deciphers and adds the enciphered files held back so far (in the order
  // they were read; their keys win over keys read before) and deciphers later files as they are
  // read. With it 0: drops the held-back files. Returns IsValid().
  unsigned char Decode(unsigned char decode);

  // Non-zero once some file read into this reader could be read and held at least one key.
  unsigned char IsValid() const;

  // A stamp of the reader's keys and values: it changes whenever they change and no two
  // different sets of keys of the process ever carry the same stamp, so an equal stamp means that
  // nothing has changed since it was taken. Readers that share their keys share the stamp.
  std::uint64_t version() const;
  // Whether some file read into this reader was enciphered (so that the decode option mattered).
  bool ReadEnciphered() const;

  // The raw value of `key`, owned by the reader; null when the key is absent.
  const char* getkeyeddata(const char* key) const;

  // The addressed field (see Sfp_ACD::AddressField) of the value of `key`; empty when the key or
  // the field is absent. Each separator points to one character (no terminator needed) or is
  // null for none.
  Port::String GetStringByKey(const char* key, const char* sep1, short idx1, const char* sep2,
                              short idx2) const;
  // The same addressing applied to `str`.
  Port::String GetStringByString(const char* str, const char* sep1, short idx1, const char* sep2,
                                 short idx2) const;
  static Port::String GetStringFromString(const char* str, char sep1, short idx1, char sep2,
                                          short idx2);

  // Index bounds of the value of `key` (see Sfp_ACD::IndexBounds); (0, 0) for an absent key.
  std::pair<short, short> GetMaxIndex(const char* key, char sep1, char sep2) const;
  static std::pair<short, short> GetMaxIndexFromString(const char* str, char sep1, char sep2);

  // With `sep2` null: `field` receives the number of sep1-separated fields. With `sep2` given:
  // `field` is read as a field index and left unchanged, and `count2` receives the number of
  // sep2-separated subfields of that field. An absent key counts as the empty value.
  void getmaxindex(const char* key, const char* sep1, short& field, const char* sep2,
                   short& count2) const;
  static void getmaxindexbystring(const char* str, const char* sep1, short& field, const char* sep2,
                                  short& count2);

  const char* getcomparename() const;
  // The path given at construction (empty when none was).
  const char* getlocation() const;
  unsigned int size() const;
  short getnsearchkeys() const;
  const std::vector<std::string>& getsearchkeys() const;

  Sfp_ACD::Iterator begin() const;
  Sfp_ACD::Iterator end() const;

  // Adds the key with its value only when the key is absent; the arrays are shared, not copied.
  // A null key adds nothing; a null value counts as the empty value. Returns the key's position
  // and whether it was added.
  std::pair<Sfp_ACD::Iterator, bool> insert(const Sfp_ACD::KeyValue& keyvalue);
  // Adds every key of `from` that this reader lacks, with its value, in `from`'s order: what
  // insert of each of `from`'s keys would do, without a pair of shared arrays per key. Returns
  // the number of keys added.
  std::size_t insertabsent(const StaticAcdRead& from);
  // What insertabsent(from) would give, without the work of adding the keys now: lookups answer
  // a key this reader lacks from `from`'s keys as they are now (later changes to `from` are not
  // seen), and iterating, size() and dump() see the keys added in insertabsent's order. A merge
  // of a friend's keys that are seldom all asked for then costs nothing per key. The stamp
  // changes.
  void inheritabsent(const StaticAcdRead& from);
  // Makes `key` present: adds it with the empty value when it is absent. True when added.
  bool sortaddnewkey(const char* key);
  // Writes every key as "KEY = value" lines, in iteration order, to the file `name`, or to
  // standard output when `name` is null or empty. False when the file cannot be written; the file
  // is replaced whole or left as it was.
  bool dump(const char* name) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

#endif  // PMPORT_SFP_ACD_H
