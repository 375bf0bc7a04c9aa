// The definition-file reader on arbitrary bytes, then every lookup form on what it read.
//
// Invariants: keys are non-empty and hold no blank, "=" or line end; values hold no line end; a
// reader is valid exactly when it read a key; iteration visits every key once and agrees with
// getkeyeddata; reading with decode set, or deciphering later, gives the same keys; reading the
// file again changes nothing; the keyed lookup forms agree with the string forms; insert adds only
// absent keys and sortaddnewkey only makes a key present.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

#include <boost/shared_array.hpp>

#include "fuzz_support.h"
#include "pmport/sfp_acd.h"

namespace {

using pmfuzz::Check;

// Separator pairs as definition values use them, and the degenerate ones.
constexpr char kSeparators[][2] = {{',', ':'},  {':', ','}, {';', '\0'},
                                   {'\0', ','}, {' ', ','}, {',', ','}};
constexpr unsigned kKeysLookedUp = 64;
constexpr short kIndexesTried = 6;

boost::shared_array<char> Copy(std::string_view text) {
  boost::shared_array<char> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void CheckKeysAndIteration(const StaticAcdRead& reader) {
  std::unordered_set<std::string_view> seen;
  for (const Sfp_ACD::KeyValue& entry : reader) {
    const std::string_view key(entry.first.get());
    Check(!key.empty(), "an empty key");
    Check(key.find_first_of(" \t=\n") == std::string_view::npos,
          "a key holds a blank, \"=\" or a line end", key);
    Check(std::strchr(entry.second.get(), '\n') == nullptr, "a value holds a line end", key);
    Check(seen.insert(key).second, "a key is iterated twice", key);
    Check(reader.getkeyeddata(entry.first.get()) == entry.second.get(),
          "iteration and lookup disagree", key);
  }
  Check(seen.size() == reader.size(), "iteration misses keys");
}

void CheckSameKeys(const StaticAcdRead& a, const StaticAcdRead& b, const char* what) {
  Check(a.size() == b.size() && a.IsValid() == b.IsValid(), what);
  for (const Sfp_ACD::KeyValue& entry : a) {
    const char* other = b.getkeyeddata(entry.first.get());
    Check(other && std::strcmp(other, entry.second.get()) == 0, what, entry.first.get());
  }
}

void CheckLookupForms(const StaticAcdRead& reader, const char* key) {
  const char* const value = reader.getkeyeddata(key);
  const std::string_view name = key ? key : "(null)";
  for (const auto& [sep1, sep2] : kSeparators) {
    const char* const s1 = sep1 ? &sep1 : nullptr;
    const char* const s2 = sep2 ? &sep2 : nullptr;
    const auto bounds = reader.GetMaxIndex(key, sep1, sep2);
    Check(bounds == StaticAcdRead::GetMaxIndexFromString(value, sep1, sep2), "GetMaxIndex", name);
    short fields = -1, unused = 0;
    reader.getmaxindex(key, s1, fields, nullptr, unused);
    Check(fields == StaticAcdRead::GetMaxIndexFromString(value, sep1, '\0').first,
          "getmaxindex counts fields", name);
    for (short i = -1; i <= std::min<short>(bounds.first, kIndexesTried); ++i) {
      short field = i, subfields = -1;
      reader.getmaxindex(key, s1, field, s2 ? s2 : &sep1, subfields);
      Check(field == i && subfields <= bounds.second, "getmaxindex counts subfields", name);
      for (short j = -1; j <= std::min<short>(bounds.second, kIndexesTried); ++j) {
        const Port::String byKey = reader.GetStringByKey(key, s1, i, s2, j);
        Check(byKey.str() == reader.GetStringByString(value, s1, i, s2, j).str(), "GetStringByKey",
              name);
        Check(byKey.str() == StaticAcdRead::GetStringFromString(value, sep1, i, sep2, j).str(),
              "GetStringFromString", name);
      }
    }
  }
}

void CheckInsertion(StaticAcdRead& reader, std::string_view newKey) {
  const std::size_t before = reader.size();
  if (before > 0) {
    const Sfp_ACD::KeyValue first = *reader.begin();
    const auto [at, added] = reader.insert({Copy(first.first.get()), Copy("replacement")});
    Check(!added && at->second.get() == first.second.get(), "insert replaced a present key");
    Check(!reader.sortaddnewkey(first.first.get()), "sortaddnewkey added a present key");
  }
  const std::string key = std::string(newKey).c_str();  // a key ends at its first NUL
  if (key.empty() || reader.getkeyeddata(key.c_str())) return;
  const auto [at, added] = reader.insert({Copy(key), boost::shared_array<char>()});
  Check(added && reader.size() == before + 1 && *reader.getkeyeddata(key.c_str()) == '\0',
        "insert of an absent key");
  Check(!reader.sortaddnewkey(key.c_str()), "sortaddnewkey added an inserted key");
  const std::string other = key + "_";
  if (!reader.getkeyeddata(other.c_str()))
    Check(reader.sortaddnewkey(other.c_str()), "sortaddnewkey of an absent key");
  CheckKeysAndIteration(reader);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pmfuzz::SilenceMessages();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* const path = pmfuzz::Scratch().write(data, size);
  StaticAcdRead decoded(path, nullptr, nullptr, 1, 0, 0);
  Check((decoded.IsValid() != 0) == (decoded.size() > 0), "validity disagrees with the key count");
  CheckKeysAndIteration(decoded);

  StaticAcdRead held(path, nullptr, nullptr, 0, 0, 0);
  held.Decode(1);
  CheckSameKeys(decoded, held, "deciphering later reads other keys");

  StaticAcdRead twice(path, nullptr, nullptr, 1, 1, 0);
  twice.ReadFile(path);
  twice.ReadFile(path);
  CheckSameKeys(decoded, twice, "reading a file again changes the keys");

  unsigned looked = 0;
  for (const Sfp_ACD::KeyValue& entry : decoded) {
    if (++looked > kKeysLookedUp) break;
    CheckLookupForms(decoded, entry.first.get());
  }
  CheckLookupForms(decoded, "NO_SUCH_KEY");
  CheckLookupForms(decoded, nullptr);

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckInsertion(decoded, text.substr(0, text.find_first_of(" \t=\n\r")));
  return 0;
}
