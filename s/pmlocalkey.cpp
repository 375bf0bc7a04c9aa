// The local-key overlay: a key store whose caller can set keys of its own that answer before the
// definition file does.
#include <map>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include <pmlib/pmdevkey.h>
#include <pmlib/pmpic.h>

#include "baspmdevkey.h"
#include "baspmspec.h"
#include "pmunit.h"

namespace PersonalityModule {

// Key prefixes take part in file lookups: with prefixes P1..Pn set (non-empty slots, in slot
// order), a key K is looked up as "P1_P2_..._Pn_K" first, then under every smaller subset of the
// prefixes (subsets taken in descending order of their bit masks over the slots), and finally as
// K itself; the first form that has a value answers.
class DevKeyImp : public PMDevKeyImp {
 public:
  DevKeyImp(int nprefixes, bool usecacheFlag)
      : PMDevKeyImp(usecacheFlag),
        prefixes(nprefixes > 0 ? static_cast<std::size_t>(nprefixes) : 0),
        usecacheCopy(usecacheFlag ? 1 : 0) {}

  std::vector<std::string> prefixes;
  std::map<std::string, std::string> localKeys;
  unsigned char usecacheCopy;
};

namespace {

boost::shared_ptr<DevKeyImp> OpenOverlay(const char* name, const PMSpecImp* spec, int nprefixes,
                                         bool decode, bool withfriends, bool usecache) {
  if (!spec) return {};
  auto imp = boost::make_shared<DevKeyImp>(nprefixes, usecache);
  imp->OpenForSpec(name, *spec, {decode, withfriends, usecache});
  return imp;
}

// The key as looked up under the prefixes selected by `mask` (bit i: the i-th non-empty prefix).
std::string PrefixedKey(const std::vector<const std::string*>& prefixes, unsigned long mask,
                        const char* key) {
  std::string prefixed;
  for (std::size_t i = 0; i < prefixes.size(); ++i) {
    if (mask & (1UL << i)) prefixed += *prefixes[i] + "_";
  }
  return prefixed + key;
}

}  // namespace

DevKey::DevKey(const char* name, PM_SPEC* spec, int nprefixes, bool decode, bool withfriends,
               bool usecache)
    : PM_DEVKEY(boost::shared_ptr<PMDevKeyImp>()), local_(nullptr) {
  boost::shared_ptr<DevKeyImp> imp = OpenOverlay(name, spec ? spec->imp_.get() : nullptr, nprefixes,
                                                 decode, withfriends, usecache);
  local_ = imp.get();
  imp_ = imp;
}

DevKey::DevKey(const char* name, const PM_PIC* pic, int nprefixes, bool decode, bool withfriends,
               bool usecache)
    : PM_DEVKEY(boost::shared_ptr<PMDevKeyImp>()), local_(nullptr) {
  const PM_SPEC* spec = pic;
  boost::shared_ptr<DevKeyImp> imp = OpenOverlay(name, spec ? spec->imp_.get() : nullptr, nprefixes,
                                                 decode, withfriends, usecache);
  local_ = imp.get();
  imp_ = imp;
}

DevKey::DevKey(const DevKey& other) = default;

DevKey& DevKey::operator=(const DevKey& other) = default;

DevKey::~DevKey() = default;

void DevKey::addlocalkey(const char* key, const char* value) {
  if (!local_ || !key) return;
  local_->localKeys[key] = value ? value : "";
}

void DevKey::dellocalkey(const char* key) {
  if (!local_ || !key) return;
  local_->localKeys.erase(key);
}

void DevKey::setkeyprefix(int index, const char* prefix) {
  if (!local_ || index < 0 || static_cast<std::size_t>(index) >= local_->prefixes.size()) return;
  local_->prefixes[static_cast<std::size_t>(index)] = prefix ? prefix : "";
}

Port::String DevKey::GetStringByKey(const char* key, char sep1, short idx1, char sep2, short idx2) {
  if (!local_ || !key) return Port::String();
  // Keys reach the overlay as stored; the deciphered form is computed for hosts that trace it.
  Port::strdec(key);
  const auto local = local_->localKeys.find(key);
  if (local != local_->localKeys.end()) {
    return StaticAcdRead::GetStringFromString(local->second.c_str(), sep1, idx1, sep2, idx2);
  }

  std::vector<const std::string*> prefixes;
  for (const std::string& prefix : local_->prefixes) {
    if (!prefix.empty()) prefixes.push_back(&prefix);
  }
  // Every subset of the prefixes, from the full set down to the empty set (the key itself).
  for (unsigned long mask = (1UL << prefixes.size()); mask-- > 0;) {
    const std::string candidate = PrefixedKey(prefixes, mask, key);
    if (!PM_DEVKEY::GetStringByKey(candidate.c_str(), 0, 0, 0, 0).empty()) {
      return PM_DEVKEY::GetStringByKey(candidate.c_str(), sep1, idx1, sep2, idx2);
    }
  }
  return Port::String();
}

int DevKey::GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2,
                          short idx2) {
  const Port::String value = GetStringByKey(key, 0, 0, 0, 0);
  if (value.empty()) return 0;
  return PM_DEVKEY::GetInt32ByString(value.c_str(), sep1, idx1, sep2, idx2);
}

}  // namespace PersonalityModule
