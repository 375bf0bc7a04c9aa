// How a definition reader stores its keys. Private to the platform library: the installed header
// sees only a pointer to it, so the layout may change without breaking programs built against it.
#ifndef PMPORT_SRC_SFP_ACD_STORAGE_H
#define PMPORT_SRC_SFP_ACD_STORAGE_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <boost/shared_array.hpp>

namespace Sfp_ACD {

// A key and its value as a reader stores them: the characters lie in the storage's owner arrays
// (`keyOwner`, `valueOwner` index them), so a stored key costs no reference count of its own.
struct StoredEntry {
  char* key;
  char* value;
  std::uint32_t keyOwner;
  std::uint32_t valueOwner;
};
using Owners = std::vector<boost::shared_array<char>>;

// A hash index from key to position, by open addressing in one table: a definition file of ten
// thousand keys is indexed without one allocation per key. The index holds positions; the keys
// are those of the entries at them, which the caller passes to every call that compares keys.
class KeyIndex {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // The position of `key` among `entries`, or kNone.
  std::size_t find(std::string_view key, const StoredEntry* entries) const;
  // Finds `key` among `entries` or, when absent, adds it at `position`. Returns the key's
  // position and whether it was added.
  std::pair<std::size_t, bool> insert(std::string_view key, std::size_t position,
                                      const StoredEntry* entries);
  // Makes room for `count` keys in all, so that adding them does not grow the table.
  void reserve(std::size_t count);

 private:
  // Eight bytes, so that the table of a large file stays small in the cache (and a definition's
  // table is no larger than its text); the entry's key is compared only when the hashes agree.
  static constexpr std::uint32_t kFree = static_cast<std::uint32_t>(-1);
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t position = kFree;
  };
  static std::uint32_t HashOf(std::string_view key);
  std::size_t SlotOf(std::string_view key, std::uint32_t hash, const StoredEntry* entries) const;

  std::vector<Slot> slots_;  // a power of two in size, at most three quarters full
  std::size_t size_ = 0;
};

// A file held back because it is enciphered and deciphering was off when it was read.
struct HeldFile {
  boost::shared_array<char> text;
  std::size_t length;
};

// What a reader has read: shared by copies of the reader until one of them changes.
struct Storage {
  std::uint64_t version = 0;
  bool valid = false;
  bool enciphered = false;
  std::vector<StoredEntry> entries;
  Owners owners;   // the arrays the entries' characters lie in
  KeyIndex index;  // the entries' positions by key
  std::vector<HeldFile> held;
};

}  // namespace Sfp_ACD

#endif  // PMPORT_SRC_SFP_ACD_STORAGE_H
