// The definition-file reader. A file is read whole into one buffer and parsed in place: keys and
// values are NUL-terminated inside that buffer and handed out as aliasing shared arrays of it, so
// a value is never copied.
#include "pmport/sfp_acd.h"

#include "sfp_acd_storage.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <mutex>
#include <sstream>

#include "pmport/port_file.h"

namespace {

constexpr std::size_t kNoPosition = std::string_view::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char SeparatorOf(const char* separator) { return separator ? *separator : '\0'; }

std::string_view ViewOf(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

short Saturated(std::size_t count) {
  return static_cast<short>(std::min<std::size_t>(count, SHRT_MAX));
}

// The position just past the count-th `separator` at or after `from`; kNoPosition when the value
// ends first or, with a non-zero `stop`, a `stop` character comes first. The separators are found
// with memchr: a device table addresses its thousandth field by skipping the ones before it.
std::size_t SkipPast(std::string_view value, std::size_t from, char separator, int count,
                     char stop) {
  const char* const begin = value.data();
  const char* const end = begin + value.size();
  const char* at = begin + from;
  for (int found = 0; found < count; ++found) {
    const char* const next =
        static_cast<const char*>(std::memchr(at, separator, static_cast<std::size_t>(end - at)));
    if (!next) return kNoPosition;
    if (stop != '\0' && std::memchr(at, stop, static_cast<std::size_t>(next - at)))
      return kNoPosition;
    at = next + 1;
  }
  return static_cast<std::size_t>(at - begin);
}

// The field that starts at `begin`: up to the next `sep1` or the end of the value.
std::string_view FieldAt(std::string_view value, std::size_t begin, char sep1) {
  const std::size_t end = sep1 == '\0' ? kNoPosition : value.find(sep1, begin);
  return value.substr(begin, end == kNoPosition ? kNoPosition : end - begin);
}

std::size_t CountOf(std::string_view text, char separator) {
  return separator == '\0'
             ? 0
             : static_cast<std::size_t>(std::count(text.begin(), text.end(), separator));
}

// One line of a definition text: its content without the line end, a "\r" before it, and its
// leading and trailing blanks; `next` is where the following line starts.
struct Line {
  char* begin;
  char* end;
  char* next;
  bool empty() const { return begin == end; }
  bool continues() const { return !empty() && end[-1] == '\\'; }
};

Line NextLine(char* at, char* limit) {
  char* const newline =
      static_cast<char*>(std::memchr(at, '\n', static_cast<std::size_t>(limit - at)));
  char* end = newline ? newline : limit;
  char* const next = newline ? newline + 1 : limit;
  if (end > at && end[-1] == '\r') --end;
  while (at < end && IsBlank(*at)) ++at;
  while (end > at && IsBlank(end[-1])) --end;
  return {at, end, next};
}

// The first blank or "=" in [at, end): where a key ends; `holdsNul` tells whether a NUL byte comes
// before it. Eight bytes at a time on a little-endian machine, as this scan is the hottest loop
// of reading a definition: a byte equal to one of the three is found by the zero-byte test on the
// word xor-ed with it, whose lowest mark is always a true match. (The NUL is noted here because
// measuring the key afterwards with strlen, across the terminator just stored, stalled on every
// line.)
char* KeyEnd(char* at, char* const end, bool& holdsNul) {
  holdsNul = false;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  const auto zeroBytes = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
  for (; end - at >= 8; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    const std::uint64_t found = zeroBytes(word ^ (kOnes * ' ')) | zeroBytes(word ^ (kOnes * '\t')) |
                                zeroBytes(word ^ (kOnes * '='));
    const std::uint64_t nul = zeroBytes(word);
    if (found != 0) {
      holdsNul = holdsNul || (nul & ((found & (0 - found)) - 1)) != 0;  // a NUL below the match
      return at + __builtin_ctzll(found) / 8;
    }
    holdsNul = holdsNul || nul != 0;
  }
#endif
  for (; at < end && !IsBlank(*at) && *at != '='; ++at) holdsNul = holdsNul || *at == '\0';
  return at;
}

bool IsEnciphered(const char* text, std::size_t length) {
  const std::string_view marker(Sfp_ACD::kEncipheredMarker);
  const std::string_view content(text, length);
  if (content.substr(0, marker.size()) != marker) return false;
  const std::string_view rest = content.substr(marker.size());
  return rest.empty() || rest[0] == '\n' || rest.substr(0, 2) == "\r\n";
}

// Replaces an enciphered text by its plain form, in place (a deciphered line is never longer than
// its enciphered form), and returns the plain length. `text[length]` must be writable.
std::size_t DecipherInPlace(char* text, std::size_t length) {
  char* const limit = text + length;
  char* at = NextLine(text, limit).next;  // past the marker line
  char* out = text;
  while (at < limit) {
    char* const newline =
        static_cast<char*>(std::memchr(at, '\n', static_cast<std::size_t>(limit - at)));
    char* end = newline ? newline : limit;
    char* const next = newline ? newline + 1 : limit;
    if (end > at && end[-1] == '\r') --end;
    *end = '\0';
    UT_STR::Decode(at);
    const std::size_t plain = std::strlen(at);
    std::memmove(out, at, plain);
    out += plain;
    *out++ = '\n';
    at = next;
  }
  return static_cast<std::size_t>(out - text);
}

// Parses a definition text in place: every key and value is NUL-terminated where it stands, and
// `visit(key, keyLength, value)` is called for each in file order, right after its line is
// parsed, while the line is still in the cache. Returns the number of keys.
template <class Visit>
std::size_t ParseInPlace(char* text, std::size_t length, const Visit& visit) {
  char* const limit = text + length;
  std::size_t keys = 0;
  for (char* at = text; at < limit;) {
    const Line line = NextLine(at, limit);
    at = line.next;
    if (line.empty() || *line.begin == '#') continue;
    bool keyHoldsNul = false;
    char* const keyEnd = KeyEnd(line.begin, line.end, keyHoldsNul);
    // A line that starts with "=" names no key; nor does one that starts with a NUL byte, since
    // callers read keys as C strings and would see an empty key.
    if (keyEnd == line.begin || *line.begin == '\0') continue;
    char* value = keyEnd;
    while (value < line.end && IsBlank(*value)) ++value;
    if (value < line.end && *value == '=') ++value;
    while (value < line.end && IsBlank(*value)) ++value;
    // Continuation lines are moved down behind the value; the joined value is never longer than
    // the lines it came from.
    char* valueEnd = line.end;
    for (bool continues = line.continues() && valueEnd > value; continues;) {
      --valueEnd;  // the "\"
      if (at >= limit) break;
      const Line more = NextLine(at, limit);
      at = more.next;
      std::memmove(valueEnd, more.begin, static_cast<std::size_t>(more.end - more.begin));
      valueEnd += more.end - more.begin;
      continues = more.continues();
    }
    *keyEnd = '\0';
    *valueEnd = '\0';
    // Callers read keys as C strings: a NUL byte inside a key ends it for them, so the index
    // must know the key by the same length.
    visit(line.begin,
          keyHoldsNul ? std::strlen(line.begin) : static_cast<std::size_t>(keyEnd - line.begin),
          value);
    ++keys;
  }
  return keys;
}

// Makes the whole pages of a fresh buffer present in one call, instead of one page fault each as
// they are first written: a fresh process reading every definition spent a fifth of its time in
// those faults (the definitions' texts, then their key lists and index tables). Only for buffers of
// several pages; a kernel without the request (before Linux 5.14) refuses it and the pages fault in
// as before.
void MakePagesPresent(char* data, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
  static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = (begin + size) & ~(page - 1);
  if (last < first + 4 * page) return;
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)size;
#endif
}

// The whole content of the regular file `path`, NUL-terminated, in one buffer.
bool LoadWholeFile(const char* path, boost::shared_array<char>& text, std::size_t& length) {
  const Port::FileDescriptor file = Port::File::OpenRegular(path);
  struct stat status {};
  if (!file.valid() || ::fstat(file.get(), &status) != 0) return false;
  const auto size = static_cast<std::size_t>(status.st_size);
  boost::shared_array<char> buffer(new char[size + 1]);
  MakePagesPresent(buffer.get(), size + 1);
  const long long got = Port::File::ReadAt(file.get(), buffer.get(), size, 0);
  if (got < 0) return false;
  buffer[static_cast<std::size_t>(got)] = '\0';  // a file that shrank meanwhile: keep what is there
  text = std::move(buffer);
  length = static_cast<std::size_t>(got);
  return true;
}

// The keys a text of `length` holds in all, estimated from the `parsed` keys in its first `bytes`
// (with an eighth to spare) once a sixteenth of it is parsed (0 before): a large file then fills
// a table sized about once instead of one grown step by step, each step moving every slot, and
// its key list and table take little more memory than its keys need (in a fresh process each
// page of them costs a page fault).
std::size_t ExpectedKeys(std::size_t parsed, std::size_t bytes, std::size_t length) {
  if (parsed == 0 || bytes < length / 16) return 0;
  const double estimate = 1.125 * static_cast<double>(parsed) * static_cast<double>(length) /
                          static_cast<double>(bytes);
  return std::min(static_cast<std::size_t>(estimate), length / 4 + 1);
}

// Room for the keys of a file when `size` entries (`before` of them from earlier files) are full:
// the estimate, or at least an eighth more once there is one; twice as many before.
std::size_t EntryCapacity(std::size_t size, std::size_t before, std::size_t expected) {
  const std::size_t grown = expected == 0 ? 2 * size : size + size / 8;
  return std::max({before + expected, grown, std::size_t{16}});
}

// Room for `capacity` entries, made present at once (see MakePagesPresent).
void ReserveEntries(std::vector<Sfp_ACD::StoredEntry>& entries, std::size_t capacity) {
  entries.reserve(capacity);
  MakePagesPresent(reinterpret_cast<char*>(entries.data()),
                   entries.capacity() * sizeof(Sfp_ACD::StoredEntry));
}

// A stamp no reader has carried before.
std::uint64_t NewVersion() {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

boost::shared_array<char> EmptyText() {
  boost::shared_array<char> text(new char[1]);
  text[0] = '\0';
  return text;
}

}  // namespace

namespace Sfp_ACD {

std::string_view AddressField(std::string_view value, char sep1, int idx1, char sep2, int idx2) {
  if (idx1 < 0 || idx2 < 0) return {};
  std::size_t begin = 0;
  if (sep1 != '\0' && idx1 > 0) begin = SkipPast(value, 0, sep1, idx1, '\0');
  if (begin != kNoPosition && sep2 != '\0' && idx2 > 0)
    begin = SkipPast(value, begin, sep2, idx2, sep1);
  if (begin == kNoPosition) return {};
  while (begin < value.size() && value[begin] == ' ') ++begin;
  // The field ends at the first separator of either kind (searched with memchr, as values may be
  // long), else at the end of the value.
  std::size_t end = value.size();
  for (const char separator : {sep1, sep2}) {
    if (separator == '\0') continue;
    const std::size_t found = value.substr(begin, end - begin).find(separator);
    if (found != kNoPosition) end = begin + found;
  }
  while (end > begin && value[end - 1] == ' ') --end;
  return value.substr(begin, end - begin);
}

std::pair<short, short> IndexBounds(std::string_view value, char sep1, char sep2) {
  if (value.empty()) return {0, 0};
  std::size_t fields = 0;
  std::size_t mostSubfields = 0;
  for (std::size_t begin = 0;; ++begin) {
    const std::string_view field = FieldAt(value, begin, sep1);
    mostSubfields = std::max(mostSubfields, CountOf(field, sep2) + 1);
    ++fields;
    begin += field.size();
    if (begin == value.size()) break;  // else `begin` is at a field separator
  }
  return {Saturated(fields), Saturated(mostSubfields)};
}

short SubfieldCount(std::string_view value, char sep1, int field, char sep2) {
  return Saturated(CountSubfields(value, sep1, field, sep2));
}

std::size_t CountFields(std::string_view value, char sep1) {
  return value.empty() ? 0 : CountOf(value, sep1) + 1;
}

std::size_t CountSubfields(std::string_view value, char sep1, int field, char sep2) {
  if (value.empty() || field < 0) return 0;
  const std::size_t begin = (sep1 != '\0' && field > 0) ? SkipPast(value, 0, sep1, field, '\0') : 0;
  if (begin == kNoPosition) return 0;
  return CountOf(FieldAt(value, begin, sep1), sep2) + 1;
}

std::uint32_t KeyIndex::HashOf(std::string_view key) {
  // Eight bytes at a time, inline: keys are short names, and a call into the standard library's
  // byte hash cost more than a key's whole insert (a tenth of a cold start went there).
  constexpr std::uint64_t kMultiplier = 0xff51afd7ed558ccdULL;
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ key.size();
  const char* at = key.data();
  std::size_t left = key.size();
  for (; left >= 8; at += 8, left -= 8) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 32;
  }
  // The last bytes in two overlapping loads, or three single ones, rather than a loop per byte;
  // the length, mixed in first, tells apart keys whose tails would read alike.
  std::uint64_t tail = 0;
  if (left >= 4) {
    std::uint32_t low;
    std::uint32_t high;
    std::memcpy(&low, at, sizeof low);
    std::memcpy(&high, at + left - 4, sizeof high);
    tail = low | (std::uint64_t{high} << 32);
  } else if (left > 0) {
    const auto byte = [at](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(at[i])};
    };
    tail = byte(0) | (byte(left / 2) << 8) | (byte(left - 1) << 16);
  }
  hash = (hash ^ tail) * kMultiplier;
  // The index takes the low bits: the high ones are folded into them.
  hash ^= hash >> 29;
  hash *= 0xc4ceb9fe1a85ec53ULL;
  hash ^= hash >> 32;
  return static_cast<std::uint32_t>(hash);
}

std::size_t KeyIndex::SlotOf(std::string_view key, std::uint32_t hash,
                             const StoredEntry* entries) const {
  const auto holds = [&key, entries](std::uint32_t position) {
    const char* const stored = entries[position].key;
    return std::strncmp(stored, key.data(), key.size()) == 0 && stored[key.size()] == '\0';
  };
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (slots_[slot].position != kFree &&
         (slots_[slot].hash != hash || !holds(slots_[slot].position))) {
    slot = (slot + 1) & mask;
  }
  return slot;
}

std::size_t KeyIndex::find(std::string_view key, const StoredEntry* entries) const {
  if (slots_.empty()) return kNone;
  const std::uint32_t position = slots_[SlotOf(key, HashOf(key), entries)].position;
  return position == kFree ? kNone : position;
}

std::pair<std::size_t, bool> KeyIndex::insert(std::string_view key, std::size_t position,
                                              const StoredEntry* entries) {
  if (4 * (size_ + 1) > 3 * slots_.size()) reserve(size_ + 1);  // tested here: most inserts fit
  const std::uint32_t hash = HashOf(key);
  Slot& slot = slots_[SlotOf(key, hash, entries)];
  if (slot.position != kFree) return {slot.position, false};
  slot = {hash, static_cast<std::uint32_t>(position)};
  ++size_;
  return {position, true};
}

void KeyIndex::reserve(std::size_t count) {
  if (4 * count <= 3 * slots_.size()) return;
  std::size_t capacity = 16;
  while (3 * capacity < 4 * count) capacity *= 2;
  std::vector<Slot> old;
  old.reserve(capacity);
  MakePagesPresent(reinterpret_cast<char*>(old.data()), capacity * sizeof(Slot));
  old.resize(capacity);
  old.swap(slots_);
  // The keys are distinct: each goes into the first free slot from its hash.
  const std::size_t mask = capacity - 1;
  for (const Slot& slot : old) {
    if (slot.position == kFree) continue;
    std::size_t free = slot.hash & mask;
    while (slots_[free].position != kFree) free = (free + 1) & mask;
    slots_[free] = slot;
  }
}

std::string Encipher(std::string_view plain) {
  std::string result(kEncipheredMarker);
  result += '\n';
  std::string line;
  while (!plain.empty()) {
    const std::size_t newline = plain.find('\n');
    line.assign(plain.substr(0, newline));
    UT_STR::Encode(line.data());
    result.append(line.c_str());  // up to the terminator, as the reader deciphers it
    result += '\n';
    plain.remove_prefix(newline == kNoPosition ? plain.size() : newline + 1);
  }
  return result;
}

const KeyValue& Iterator::Current() const {
  if (!made_) {
    const StoredEntry& entry = storage_->entries[position_];
    const Owners& owners = storage_->owners;
    current_.first = boost::shared_array<char>(owners[entry.keyOwner], entry.key);
    current_.second = boost::shared_array<char>(owners[entry.valueOwner], entry.value);
    made_ = true;
  }
  return current_;
}

}  // namespace Sfp_ACD

// The reader's state: its own names and options, and the storage it may share with copies. A
// class nested in an exported one is exported with it unless said otherwise: the implementation
// stays out of the library's ABI.
#if defined(__GNUC__)
#define PMPORT_SFP_HIDDEN __attribute__((visibility("hidden")))
#else
#define PMPORT_SFP_HIDDEN
#endif
struct PMPORT_SFP_HIDDEN StaticAcdRead::Impl {
  Impl(const char* path, const char* compare, char* const* searchKeys, bool decodeOption,
       std::shared_ptr<Sfp_ACD::Storage> shared)
      : location(path ? path : ""),
        comparename(compare ? compare : ""),
        decode(decodeOption),
        storage(std::move(shared)) {
    for (char* const* key = searchKeys; key && *key; ++key) searchkeys.emplace_back(*key);
  }

  // The storage, made this reader's own and stamped anew: every change goes through here.
  Sfp_ACD::Storage& Writable();
  bool AddText(const boost::shared_array<char>& owner, char* text, std::size_t length);
  // Adds the key when it is absent.
  std::pair<Sfp_ACD::Iterator, bool> Add(Sfp_ACD::KeyValue keyvalue);
  const char* ValueOf(const char* key) const;

  // Every key, the inherited ones added: the storage itself while nothing is inherited, else
  // one merged copy, made by the first query that needs it (on whichever thread asks first).
  const std::shared_ptr<Sfp_ACD::Storage>& AllKeys() const;
  // The storages whose keys `from` holds, to be inherited in this order.
  std::vector<std::shared_ptr<const Sfp_ACD::Storage>> Layers() const;
  // Makes the inherited keys the storage's own, before a change: what an eager merge would
  // have left.
  void Settle();
  std::uint64_t Version() const { return inherited.empty() ? storage->version : inheritedVersion; }

  std::string location;
  std::string comparename;
  std::vector<std::string> searchkeys;
  bool decode;
  std::shared_ptr<Sfp_ACD::Storage> storage;
  // The keys of other readers this one takes where it has none (inheritabsent), looked up in
  // this order after its own; each storage as it was when inherited (a reader copies its storage
  // before changing it while this one holds it).
  std::vector<std::shared_ptr<const Sfp_ACD::Storage>> inherited;
  std::uint64_t inheritedVersion = 0;
  struct Merged {
    std::once_flag once;
    std::shared_ptr<Sfp_ACD::Storage> storage;
  };
  std::unique_ptr<Merged> merged = std::make_unique<Merged>();
};

namespace {

std::shared_ptr<Sfp_ACD::Storage> NewStorage() {
  auto storage = std::make_shared<Sfp_ACD::Storage>();
  storage->version = NewVersion();
  return storage;
}

// Adds the key of `entry` (`keyLength` characters), or with `replace` gives it the new value;
// returns its position.
std::size_t Put(Sfp_ACD::Storage& storage, const Sfp_ACD::StoredEntry& entry, std::size_t keyLength,
                bool replace) {
  // One hash lookup either finds the key or reserves its slot; the view stays valid because the
  // key's owner array lives as long as the storage.
  const auto [position, added] = storage.index.insert(
      std::string_view(entry.key, keyLength), storage.entries.size(), storage.entries.data());
  if (added) {
    storage.entries.push_back(entry);
  } else if (replace) {
    storage.entries[position].value = entry.value;
    storage.entries[position].valueOwner = entry.valueOwner;
  }
  return position;
}

// Keeps `owner` alive as long as the storage; returns its index.
std::uint32_t Own(Sfp_ACD::Storage& storage, boost::shared_array<char> owner) {
  storage.owners.push_back(std::move(owner));
  return static_cast<std::uint32_t>(storage.owners.size() - 1);
}

const char* ValueIn(const Sfp_ACD::Storage& storage, std::string_view key) {
  const std::size_t position = storage.index.find(key, storage.entries.data());
  return position == Sfp_ACD::KeyIndex::kNone ? nullptr : storage.entries[position].value;
}

// Adds every entry of `source` whose key `current` lacks, in `source`'s order, sharing its owner
// arrays. `writable()` gives the storage to add to, ready for a change; it is called at the first
// key added (it may copy `current`), so that a merge adding nothing changes nothing. Returns the
// number of keys added.
template <class MakeWritable>
std::size_t AddAbsent(const Sfp_ACD::Storage& source, const Sfp_ACD::Storage& current,
                      const MakeWritable& writable) {
  constexpr std::uint32_t kNotOwned = static_cast<std::uint32_t>(-1);
  std::vector<std::uint32_t> ownerHere;  // the index here of each of the source's owner arrays
  Sfp_ACD::Storage* stored = nullptr;
  std::size_t added = 0;
  for (const Sfp_ACD::StoredEntry& entry : source.entries) {
    const std::string_view key(entry.key);
    const Sfp_ACD::Storage& lookedIn = stored ? *stored : current;
    if (lookedIn.index.find(key, lookedIn.entries.data()) != Sfp_ACD::KeyIndex::kNone) continue;
    if (!stored) {
      stored = &writable();
      ownerHere.assign(source.owners.size(), kNotOwned);
    }
    const auto own = [&](std::uint32_t owner) {
      if (ownerHere[owner] == kNotOwned) ownerHere[owner] = Own(*stored, source.owners[owner]);
      return ownerHere[owner];
    };
    const std::uint32_t keyOwner = own(entry.keyOwner);
    Put(*stored, {entry.key, entry.value, keyOwner, own(entry.valueOwner)}, key.size(), false);
    ++added;
  }
  return added;
}

}  // namespace

Sfp_ACD::Storage& StaticAcdRead::Impl::Writable() {
  Settle();
  // Copying keeps the index valid: it holds positions, and the copy shares the key arrays.
  if (storage.use_count() > 1) storage = std::make_shared<Sfp_ACD::Storage>(*storage);
  storage->version = NewVersion();
  return *storage;
}

bool StaticAcdRead::Impl::AddText(const boost::shared_array<char>& owner, char* text,
                                  std::size_t length) {
  if (IsEnciphered(text, length)) {
    Writable().enciphered = true;
    if (!decode) {
      Writable().held.push_back({owner, length});
      return false;
    }
    length = DecipherInPlace(text, length);
  }
  Sfp_ACD::Storage& stored = Writable();
  const std::uint32_t text_owner = Own(stored, owner);
  std::size_t parsed = 0;
  // Each key goes into the index as soon as its line is parsed: indexing afterwards would come
  // back to every key of a large file once the file has left the cache.
  const std::size_t keys =
      ParseInPlace(text, length, [&](char* key, std::size_t keyLength, char* value) {
        if (stored.entries.size() == stored.entries.capacity()) {
          const std::size_t bytes = static_cast<std::size_t>(key - text);
          const std::size_t before = stored.entries.size() - parsed;  // from files read earlier
          ReserveEntries(stored.entries, EntryCapacity(stored.entries.size(), before,
                                                       ExpectedKeys(parsed, bytes, length)));
          stored.index.reserve(stored.entries.capacity());
        }
        ++parsed;
        Put(stored, {key, value, text_owner, text_owner}, keyLength, true);
      });
  stored.valid = stored.valid || keys > 0;
  return keys > 0;
}

std::pair<Sfp_ACD::Iterator, bool> StaticAcdRead::Impl::Add(Sfp_ACD::KeyValue keyvalue) {
  Settle();
  // A key already there stays as it is: nothing changes, so a shared storage is not copied and
  // the stamp stays.
  std::size_t position =
      storage->index.find(std::string_view(keyvalue.first.get()), storage->entries.data());
  const bool added = position == Sfp_ACD::KeyIndex::kNone;
  if (added) {
    Sfp_ACD::Storage& stored = Writable();
    char* const key = keyvalue.first.get();
    char* const value = keyvalue.second.get();
    const std::uint32_t keyOwner = Own(stored, std::move(keyvalue.first));
    const std::uint32_t valueOwner = Own(stored, std::move(keyvalue.second));
    position = Put(stored, {key, value, keyOwner, valueOwner}, std::strlen(key), false);
  }
  return {Sfp_ACD::Iterator(storage.get(), position), added};
}

const char* StaticAcdRead::Impl::ValueOf(const char* key) const {
  if (!key) return nullptr;
  const std::string_view name(key);
  if (const char* value = ValueIn(*storage, name)) return value;
  for (const std::shared_ptr<const Sfp_ACD::Storage>& from : inherited) {
    if (const char* value = ValueIn(*from, name)) return value;
  }
  return nullptr;
}

const std::shared_ptr<Sfp_ACD::Storage>& StaticAcdRead::Impl::AllKeys() const {
  if (inherited.empty()) return storage;
  std::call_once(merged->once, [this] {
    auto all = std::make_shared<Sfp_ACD::Storage>(*storage);
    for (const std::shared_ptr<const Sfp_ACD::Storage>& from : inherited) {
      AddAbsent(*from, *all, [&all]() -> Sfp_ACD::Storage& { return *all; });
    }
    merged->storage = std::move(all);
  });
  return merged->storage;
}

std::vector<std::shared_ptr<const Sfp_ACD::Storage>> StaticAcdRead::Impl::Layers() const {
  // A long chain of readers inheriting from each other is given as one merged storage, so that a
  // lookup never walks more than a few storages.
  constexpr std::size_t kMostLayers = 8;
  if (inherited.size() >= kMostLayers) return {AllKeys()};
  std::vector<std::shared_ptr<const Sfp_ACD::Storage>> layers = {storage};
  layers.insert(layers.end(), inherited.begin(), inherited.end());
  return layers;
}

void StaticAcdRead::Impl::Settle() {
  if (inherited.empty()) return;
  const std::uint64_t version = inheritedVersion;
  storage = AllKeys();
  storage->version = version;  // the same keys as before
  inherited.clear();
  merged = std::make_unique<Merged>();
}

StaticAcdRead::StaticAcdRead(const char* path, const char* comparename, char* const* searchkeys,
                             unsigned char decode, unsigned char withfriends,
                             unsigned char /*third*/)
    : impl_(std::make_unique<Impl>(path, comparename, searchkeys, decode != 0, NewStorage())) {
  // With friends the caller reads this file itself, after the friends' copies, so that its keys
  // win; reading it here too would only read it twice.
  if (withfriends == 0) ReadFile(path);
}

StaticAcdRead::StaticAcdRead(const StaticAcdRead& source, const char* path, const char* comparename,
                             char* const* searchkeys, unsigned char decode)
    : impl_(std::make_unique<Impl>(path, comparename, searchkeys, decode != 0,
                                   source.impl_->storage)) {
  impl_->inherited = source.impl_->inherited;
  impl_->inheritedVersion = source.impl_->inheritedVersion;
}

StaticAcdRead::~StaticAcdRead() = default;

unsigned char StaticAcdRead::ReadFile(const char* path) {
  boost::shared_array<char> text;
  std::size_t length = 0;
  if (!LoadWholeFile(path, text, length)) return 0;
  return impl_->AddText(text, text.get(), length) ? 1 : 0;
}

unsigned char StaticAcdRead::Decode(unsigned char decode) {
  impl_->decode = decode != 0;
  if (impl_->storage->held.empty()) return IsValid();
  std::vector<Sfp_ACD::HeldFile> held;
  held.swap(impl_->Writable().held);
  if (impl_->decode) {
    for (const Sfp_ACD::HeldFile& file : held)
      impl_->AddText(file.text, file.text.get(), file.length);
  }
  return IsValid();
}

unsigned char StaticAcdRead::IsValid() const { return impl_->storage->valid ? 1 : 0; }

std::uint64_t StaticAcdRead::version() const { return impl_->Version(); }

bool StaticAcdRead::ReadEnciphered() const { return impl_->storage->enciphered; }

const char* StaticAcdRead::getcomparename() const { return impl_->comparename.c_str(); }

const char* StaticAcdRead::getlocation() const { return impl_->location.c_str(); }

unsigned int StaticAcdRead::size() const {
  return static_cast<unsigned int>(impl_->AllKeys()->entries.size());
}

short StaticAcdRead::getnsearchkeys() const { return static_cast<short>(impl_->searchkeys.size()); }

const std::vector<std::string>& StaticAcdRead::getsearchkeys() const { return impl_->searchkeys; }

Sfp_ACD::Iterator StaticAcdRead::begin() const { return {impl_->AllKeys().get(), 0}; }

Sfp_ACD::Iterator StaticAcdRead::end() const {
  const Sfp_ACD::Storage& all = *impl_->AllKeys();
  return {&all, all.entries.size()};
}

const char* StaticAcdRead::getkeyeddata(const char* key) const { return impl_->ValueOf(key); }

Port::String StaticAcdRead::GetStringByKey(const char* key, const char* sep1, short idx1,
                                           const char* sep2, short idx2) const {
  return GetStringFromString(impl_->ValueOf(key), SeparatorOf(sep1), idx1, SeparatorOf(sep2), idx2);
}

Port::String StaticAcdRead::GetStringByString(const char* str, const char* sep1, short idx1,
                                              const char* sep2, short idx2) const {
  return GetStringFromString(str, SeparatorOf(sep1), idx1, SeparatorOf(sep2), idx2);
}

Port::String StaticAcdRead::GetStringFromString(const char* str, char sep1, short idx1, char sep2,
                                                short idx2) {
  const std::string_view field = Sfp_ACD::AddressField(ViewOf(str), sep1, idx1, sep2, idx2);
  return Port::String(field.data(), field.size());
}

std::pair<short, short> StaticAcdRead::GetMaxIndex(const char* key, char sep1, char sep2) const {
  return GetMaxIndexFromString(getkeyeddata(key), sep1, sep2);
}

std::pair<short, short> StaticAcdRead::GetMaxIndexFromString(const char* str, char sep1,
                                                             char sep2) {
  return Sfp_ACD::IndexBounds(ViewOf(str), sep1, sep2);
}

void StaticAcdRead::getmaxindex(const char* key, const char* sep1, short& field, const char* sep2,
                                short& count2) const {
  getmaxindexbystring(getkeyeddata(key), sep1, field, sep2, count2);
}

void StaticAcdRead::getmaxindexbystring(const char* str, const char* sep1, short& field,
                                        const char* sep2, short& count2) {
  if (sep2 == nullptr) {
    field = Sfp_ACD::IndexBounds(ViewOf(str), SeparatorOf(sep1), '\0').first;
  } else {
    count2 = Sfp_ACD::SubfieldCount(ViewOf(str), SeparatorOf(sep1), field, *sep2);
  }
}

std::pair<Sfp_ACD::Iterator, bool> StaticAcdRead::insert(const Sfp_ACD::KeyValue& keyvalue) {
  if (!keyvalue.first) return {end(), false};
  return impl_->Add({keyvalue.first, keyvalue.second ? keyvalue.second : EmptyText()});
}

std::size_t StaticAcdRead::insertabsent(const StaticAcdRead& from) {
  impl_->Settle();
  // Held here, so that the source stays whole even when it shares this reader's storage, which
  // the first key added copies.
  const std::shared_ptr<const Sfp_ACD::Storage> source = from.impl_->AllKeys();
  return AddAbsent(*source, *impl_->storage,
                   [this]() -> Sfp_ACD::Storage& { return impl_->Writable(); });
}

void StaticAcdRead::inheritabsent(const StaticAcdRead& from) {
  // A storage already held (or this reader's own) adds nothing: any key it has is found where it
  // first comes. Inheriting nothing new changes nothing, not even the stamp, so that friends
  // merged again (a friend loop sets its members many times) leave the records keyed by it valid.
  bool added = false;
  for (std::shared_ptr<const Sfp_ACD::Storage>& layer : from.impl_->Layers()) {
    const auto& held = impl_->inherited;
    if (layer == impl_->storage || std::find(held.begin(), held.end(), layer) != held.end())
      continue;
    impl_->inherited.push_back(std::move(layer));
    added = true;
  }
  if (!added) return;
  impl_->inheritedVersion = NewVersion();
  impl_->merged = std::make_unique<Impl::Merged>();
}

bool StaticAcdRead::sortaddnewkey(const char* key) {
  if (!key || impl_->ValueOf(key)) return false;
  const std::size_t length = std::strlen(key);
  boost::shared_array<char> copy(new char[length + 1]);
  std::memcpy(copy.get(), key, length + 1);
  return impl_->Add({copy, EmptyText()}).second;
}

bool StaticAcdRead::dump(const char* name) const {
  std::ostringstream text;
  for (const Sfp_ACD::StoredEntry& entry : impl_->AllKeys()->entries) {
    text << entry.key << (*entry.value ? " = " : " =") << entry.value << '\n';
  }
  if (!name || !*name) {
    std::cout << text.str() << std::flush;
    return static_cast<bool>(std::cout);
  }
  std::string error;
  return Port::File::Replace(name, text.str(), error);
}
