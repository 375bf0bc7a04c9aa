// Device key stores: opening (with the process-wide reader cache), addressed lookups, the rotating
// C-string result buffers, and the library's debug stream.
#include "baspmdevkey.h"

#include <cstring>
#include <iostream>
#include <string_view>
#include <unordered_map>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>

#include <pmlib/pmspec.h>
#include <pmport/port_env.h>
#include <pmport/port_file.h>

#include "baspmpic.h"
#include "baspmspec.h"
#include "pmlayout.h"
#include "pmunit.h"

namespace Layout = PersonalityModule::Layout;

namespace {

constexpr char kUnit[] = "baspmdevkey";

// Load-time objects of this unit, constructed in the order they are defined here (the cache
// mutex before the manager that uses it) and destroyed in the reverse order. No other unit
// touches them while the library loads.
Port_ThrMutex cacheMutex;

}  // namespace

bool PM_INTDEVKEY_MGR::instanceExists_ = false;

namespace {

PM_INTDEVKEY_MGR devkeyManager;
PMDebugStream debugStream;

// The first character of a C-string separator; 0 (none) for a null pointer.
char FirstChar(const char* separator) { return separator ? *separator : 0; }

char FlagLetter(bool flag) { return flag ? 't' : 'f'; }

// The four rotating buffers of the C-string lookups and the index of the current one. Guarded by
// ResultMutex(); both are built on first use and destroyed at unload.
struct ResultBuffers {
  static constexpr int kCount = 4;
  std::unique_ptr<char[]> buffer[kCount];
  int capacity[kCount] = {0, 0, 0, 0};
  int current = 0;
};

ResultBuffers& Results() {
  static ResultBuffers buffers;
  return buffers;
}

Port_ThrMutex& ResultMutex() {
  static Port_ThrMutex mutex;
  return mutex;
}

// Copies `field` into the current result buffer, growing it to exactly the size needed.
const char* StoreResult(ResultBuffers& results, std::string_view field) {
  const int current = results.current;
  const int needed = static_cast<int>(field.size()) + 1;
  if (needed > results.capacity[current]) {
    results.buffer[current].reset(new char[needed]);
    results.capacity[current] = needed;
  }
  char* target = results.buffer[current].get();
  // The field may lie inside this very buffer (a result passed back in): the areas may overlap.
  std::memmove(target, field.data(), field.size());
  target[field.size()] = '\0';
  return target;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cache keys, search keys and the location of definition files

std::string PMDevKeyCacheKey(const std::string& fileName, const std::string& pm,
                             const std::string& device, const std::string& package,
                             const PMDevKeyFlags& flags) {
  // Made for every store opened, in one allocation.
  std::string key;
  key.reserve(fileName.size() + pm.size() + device.size() + package.size() + 10);
  key += fileName;
  for (const std::string* field : {&pm, &device, &package}) {
    key += ':';
    key += field->empty() ? std::string_view("-") : std::string_view(*field);
  }
  key += ':';
  key += FlagLetter(flags.decode);
  key += FlagLetter(flags.withfriends);
  key += FlagLetter(flags.usecache);
  return key;
}

std::vector<std::string> PMPartSearchKeys(const PMPartNames& part) {
  std::vector<std::string> keys;
  const auto addWithPackage = [&](const Port::String& device) {
    keys.push_back(device.str());
    if (!part.package.empty()) keys.push_back(device.str() + ":" + part.package.str());
  };
  for (auto name = part.internalNames.rbegin(); name != part.internalNames.rend(); ++name) {
    addWithPackage(*name);
  }
  if (!part.device.empty()) addWithPackage(part.device);
  return keys;
}

Port::String PMLocateDefinitionFile(const char* fileName, const PMSpecImp& spec) {
  char baseBuffer[UT_PATH::BaseBufferSize];
  const std::string base = UT_PATH::GetBase(fileName, baseBuffer);
  const std::string definition = base + ".acd";
  const Port::String& pm = spec.pmName();
  if (!pm.empty() && std::strncmp(fileName, pm.c_str(), pm.length()) == 0) {
    const Port::String unsupported = Port::String("unsupported/") + Layout::Definition(base);
    Port::String path = spec.GetDatafileName(1, unsupported.c_str(), false, -1);
    if (Port::File::exist(path)) return path;
  }
  return spec.GetDatafileName(1, definition.c_str(), true, -1);
}

// ---------------------------------------------------------------------------------------------
// PMDevKeyImp

PMDevKeyImp::PMDevKeyImp(bool usecacheFlag) : usecache(usecacheFlag ? 1 : 0) {}

PMDevKeyImp::~PMDevKeyImp() = default;

bool PMDevKeyImp::valid() const { return reader && reader->IsValid(); }

bool PMDevKeyImp::TakeCachedReader(const std::string& cacheKey) {
  boost::shared_ptr<StaticAcdRead> cached = PM_INTDEVKEY_MGR::Instance().Find(cacheKey.c_str());
  if (!cached) return false;
  reader = cached;
  return true;
}

void PMDevKeyImp::OpenForSpec(const char* name, const PMSpecImp& spec, const PMDevKeyFlags& flags) {
  std::string fileName = name ? name : "";
  if (!UT_PATH::GetExt(fileName.c_str(), nullptr)) fileName += ".acd";
  const std::string cacheKey = PMDevKeyCacheKey(fileName, spec.pmName().str(), "", "", flags);
  if (flags.usecache && TakeCachedReader(cacheKey)) return;

  const Port::String path = PMLocateDefinitionFile(fileName.c_str(), spec);
  Open(path, cacheKey, nullptr, flags, FilesToRead(spec, path, fileName.c_str(), flags));
}

namespace {

// The file a part store reads: `name` with the module's name for a missing base and "acd" for a
// missing extension. The empty name, which every part's device-level store is opened with, is
// "<module>.acd" without taking it apart.
std::string PartStoreFileName(const char* name, const PMSpecImp& spec) {
  if (!name || !*name) return spec.pmName().str() + ".acd";
  Port::FileName file(name);
  if (!file.HasBase()) file.SetBase(spec.pmName().c_str());
  if (!file.HasExtension()) file.SetExtension("acd");
  return file.GetName().str();
}

}  // namespace

void PMDevKeyImp::OpenForPart(const char* name, const PMSpecImp& spec, const PMPartNames& part,
                              const PMDevKeyFlags& flags) {
  const std::string fileName = PartStoreFileName(name, spec);
  const std::string cacheKey =
      PMDevKeyCacheKey(fileName, spec.pmName().str(), part.device.str(), part.package.str(), flags);
  if (flags.usecache && TakeCachedReader(cacheKey)) return;

  std::vector<std::string> searchKeys = PMPartSearchKeys(part);
  std::vector<char*> searchKeyList;
  for (std::string& key : searchKeys) searchKeyList.push_back(key.data());
  searchKeyList.push_back(nullptr);

  const Port::String path = PMLocateDefinitionFile(fileName.c_str(), spec);
  Open(path, cacheKey, searchKeyList.data(), flags,
       FilesToRead(spec, path, name ? name : "", flags));
}

namespace {

// The readers made from files, by the files they read, in order. The many stores of one
// architecture (one per device and package of a part) read the same files; a later one takes a copy
// of an earlier reader that has not changed since it was read, which shares its keys, instead of
// reading and parsing the files again. Like the readers themselves, this assumes that an
// installation's files do not change while a process uses them.
class ReadersByFiles {
 public:
  // A reader that read `files` and has not changed since; read with `decode`, unless no file
  // was enciphered (then the option changed nothing).
  boost::shared_ptr<StaticAcdRead> Find(const std::string& files, bool decode) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    const auto found = readers_.find(files);
    if (found == readers_.end()) return {};
    boost::shared_ptr<StaticAcdRead> reader = found->second.reader.lock();
    const bool same = reader && reader->version() == found->second.version &&
                      (found->second.decode == decode || !reader->ReadEnciphered());
    return same ? reader : boost::shared_ptr<StaticAcdRead>();
  }
  // With `keep`, the reader is kept alive for later copies even when its first user drops it.
  void Remember(const std::string& files, bool decode,
                const boost::shared_ptr<StaticAcdRead>& reader, bool keep) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    readers_[files] = {reader, reader->version(), decode, keep ? reader : nullptr};
  }

 private:
  struct Read {
    boost::weak_ptr<StaticAcdRead> reader;
    std::uint64_t version;  // of the keys just as the files gave them
    bool decode;
    boost::shared_ptr<StaticAcdRead> kept;
  };
  Port_ThrMutex mutex_;
  std::unordered_map<std::string, Read> readers_;
};

ReadersByFiles& ReadersOfFiles() {
  static ReadersByFiles readers;
  return readers;
}

}  // namespace

boost::shared_ptr<const StaticAcdRead> PMReadDefinitionFile(const Port::String& path) {
  const std::string read = path.str() + "\n";  // as Open names a list of one file
  if (const boost::shared_ptr<StaticAcdRead> same = ReadersOfFiles().Find(read, true)) {
    return boost::make_shared<const StaticAcdRead>(*same, path.c_str(), nullptr, nullptr, 1);
  }
  const auto reader = boost::make_shared<StaticAcdRead>(path.c_str(), nullptr, nullptr, 1, 0, 1);
  // A probe reads a definition just before the listing opens its key store: kept, the probe's
  // reading serves the store too.
  ReadersOfFiles().Remember(read, true, reader, true);
  return reader;
}

std::vector<Port::String> PMDevKeyImp::FilesToRead(const PMSpecImp& spec, const Port::String& path,
                                                   const char* name, const PMDevKeyFlags& flags) {
  if (!flags.withfriends) return {path};
  return ArchitectureFiles(spec, name);
}

void PMDevKeyImp::Open(const Port::String& path, const std::string& cacheKey,
                       char* const* searchKeys, const PMDevKeyFlags& flags,
                       const std::vector<Port::String>& files) {
  std::string read;
  for (const Port::String& file : files) (read += file.str()) += '\n';
  const boost::shared_ptr<StaticAcdRead> same = ReadersOfFiles().Find(read, flags.decode);
  if (same) {
    reader.reset(
        new StaticAcdRead(*same, path.c_str(), cacheKey.c_str(), searchKeys, flags.decode));
  } else {
    reader.reset(new StaticAcdRead(path.c_str(), cacheKey.c_str(), searchKeys, flags.decode,
                                   flags.withfriends, 0));
    if (flags.withfriends) {
      for (const Port::String& file : files) reader->ReadFile(file.c_str());
      reader->Decode(flags.decode);
    }
    ReadersOfFiles().Remember(read, flags.decode, reader, false);
  }
  if (flags.usecache) PM_INTDEVKEY_MGR::Instance().Add(reader);
}

// The files of every friend architecture, nearest first, then the architecture's own copy, so
// that on a key defined more than once the architecture's own value wins.
std::vector<Port::String> PMDevKeyImp::ArchitectureFiles(const PMSpecImp& spec, const char* name) {
  Port::FileName file(name);
  const bool hasBase = file.HasBase();
  if (!file.HasExtension()) file.SetExtension("acd");
  std::vector<Port::String> files;
  const auto addIfFound = [&files](const Port::String& path) {
    if (!path.empty()) files.push_back(path);
  };
  const std::vector<char*>& friends = spec.friendNames();
  for (std::size_t i = 0; i < friends.size(); ++i) {
    if (!hasBase) file.SetBase(friends[i]);
    addIfFound(spec.GetDatafileName(1, file.GetName().c_str(), true, static_cast<int>(i)));
  }
  if (!hasBase) file.SetBase(spec.pmName().c_str());
  addIfFound(spec.GetDatafileName(1, file.GetName().c_str(), true, -2));
  return files;
}

const StaticAcdRead* PMDevKeyReader(const PM_DEVKEY& store) {
  return store.imp_ ? store.imp_->reader.get() : nullptr;
}

void PMDevKeyInsertAbsent(PM_DEVKEY& store, const PM_DEVKEY& from) {
  const StaticAcdRead* const source = PMDevKeyReader(from);
  if (store.imp_ && store.imp_->reader && source) store.imp_->reader->inheritabsent(*source);
}

const char* PMDevKeyRawValue(const PM_DEVKEY& store, const char* key) {
  const StaticAcdRead* reader = PMDevKeyReader(store);
  return reader && key ? reader->getkeyeddata(key) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// PM_INTDEVKEY_MGR

PM_INTDEVKEY_MGR::PM_INTDEVKEY_MGR() : UT_STATOBJ("PM_INTDEVKEY_MGR"), enabled_(true) {
  if (instanceExists_) PM_ISSUE(SecondDevKeyManager);
  instanceExists_ = true;
  const char* setting = Port_Env::GetEnv("PM_DEVKEY_CACHE");
  enabled_ = !(setting && Port::stricmp(setting, "NO") == 0);
}

PM_INTDEVKEY_MGR::~PM_INTDEVKEY_MGR() {
  Port::ThrGuard<Port_ThrMutex> guard(cacheMutex);
  newest_.clear();
  readers_.clear();
  instanceExists_ = false;
}

const std::string& PM_INTDEVKEY_MGR::Folded(const char* key) {
  // The thread's own buffer: every parse asks for a store, and a lookup then allocates nothing.
  thread_local std::string folded;
  folded.assign(key);
  Port::strlwr(folded.data());
  return folded;
}

boost::shared_ptr<StaticAcdRead> PM_INTDEVKEY_MGR::Find(const char* key) const {
  if (!key || !enabled_) return {};
  const std::string& folded = Folded(key);
  Port::ThrGuard<Port_ThrMutex> guard(cacheMutex);
  const auto hit = newest_.find(folded);
  return hit == newest_.end() ? boost::shared_ptr<StaticAcdRead>() : hit->second;
}

void PM_INTDEVKEY_MGR::Add(const boost::shared_ptr<StaticAcdRead>& reader) {
  const std::string& folded = Folded(reader->getcomparename());
  Port::ThrGuard<Port_ThrMutex> guard(cacheMutex);
  readers_.push_front(reader);
  newest_[folded] = reader;
}

std::size_t PM_INTDEVKEY_MGR::count() const {
  Port::ThrGuard<Port_ThrMutex> guard(cacheMutex);
  return readers_.size();
}

PM_INTDEVKEY_MGR& PM_INTDEVKEY_MGR::Instance() { return devkeyManager; }

void PMDumpDevkeyMgr() {}

// ---------------------------------------------------------------------------------------------
// Debug stream

// A debug file that cannot be opened, or is not a regular file (a FIFO would block every
// program at load), leaves the stream on standard output.
PMDebugStream::PMDebugStream()
    : buffer_(Port::File::CreateRegular(Port_Env::GetEnv("PM_DEBUG_FILE"))), file_(&buffer_) {}

PMDebugStream::~PMDebugStream() = default;

std::ostream& PMDebugStream::stream() {
  if (buffer_.is_open()) return file_;
  return std::cout;
}

std::ostream& PMDebugStream::indented() {
  return stream() << '#' << std::string(static_cast<std::size_t>(2 * level_), ' ');
}

PMDebugStream& PMDebugStream::Instance() { return debugStream; }

// ---------------------------------------------------------------------------------------------
// PM_DEVKEY

short PM_DEVKEY::myret1 = 0;
short PM_DEVKEY::myret2 = 0;

PM_DEVKEY::PM_DEVKEY(const char* name, PM_SPEC* spec, unsigned char decode,
                     unsigned char withfriends, unsigned char usecache) {
  if (!spec || !spec->imp_) {
    if (!decode) PM_ISSUE(NoSpec);
    return;
  }
  auto imp = boost::make_shared<PMDevKeyImp>(usecache != 0);
  imp->OpenForSpec(name, *spec->imp_, {decode != 0, withfriends != 0, usecache != 0});
  imp_ = imp;
}

PM_DEVKEY::PM_DEVKEY(const char* name, PM_PIC* pic, unsigned char decode, unsigned char withfriends,
                     unsigned char usecache) {
  // A null part is the caller's error; the store is left without implementation (it answers
  // every lookup as empty).
  const PM_SPEC* spec = pic;
  if (!spec || !spec->imp_) return;
  const PMPicImp& part = static_cast<const PMPicImp&>(spec->implementation());
  auto imp = boost::make_shared<PMDevKeyImp>(usecache != 0);
  imp->OpenForPart(name, part, part.PartNames(), {decode != 0, withfriends != 0, usecache != 0});
  imp_ = imp;
}

PM_DEVKEY::PM_DEVKEY(boost::shared_ptr<PMDevKeyImp> imp) : imp_(std::move(imp)) {}

PM_DEVKEY::PM_DEVKEY(const PM_DEVKEY& other) = default;

PM_DEVKEY& PM_DEVKEY::operator=(const PM_DEVKEY& other) = default;

PM_DEVKEY::~PM_DEVKEY() = default;

Port::String PM_DEVKEY::GetStringByKey(const char* key, char sep1, short idx1, char sep2,
                                       short idx2) const {
  if (!imp_ || !imp_->reader || !key) return Port::String();
  return imp_->reader->GetStringByKey(key, sep1 ? &sep1 : nullptr, idx1, sep2 ? &sep2 : nullptr,
                                      idx2);
}

Port::String PM_DEVKEY::GetStringByString(const char* str, char sep1, short idx1, char sep2,
                                          short idx2) const {
  return StaticAcdRead::GetStringFromString(str, sep1, idx1, sep2, idx2);
}

Port::String PM_DEVKEY::GetArchStringByKey(const char* key, char sep1, short idx1, char sep2,
                                           short idx2) const {
  const Port::String arch = GetStringByKey("ARCH_NAME", 0, 0, 0, 0);
  const Port::String qualified = Port::String(key) + "_" + arch;
  return GetStringByKey(qualified.c_str(), sep1, idx1, sep2, idx2);
}

const char* PM_DEVKEY::getstringbykey(const char* key, const char* sep1, short idx1,
                                      const char* sep2, short idx2) {
  if (!imp_ || !imp_->reader || !key) return nullptr;
  // The raw value belongs to the reader and never to a result buffer, so it can be addressed
  // in place without a copy.
  const char* raw = imp_->reader->getkeyeddata(key);
  return getstringbystring(raw ? raw : "", sep1, idx1, sep2, idx2);
}

const char* PM_DEVKEY::getstringbystring(const char* str, const char* sep1, short idx1,
                                         const char* sep2, short idx2) {
  Port::ThrGuard<Port_ThrMutex> guard(ResultMutex());
  const bool unusable =
      !imp_ || !imp_->valid() || !str || !*str || (sep2 && !sep1) || idx1 < 0 || idx2 < 0;
  if (unusable) return nullptr;
  ResultBuffers& results = Results();
  // A result passed back in moves on to the next buffer, so that it stays intact.
  if (str == results.buffer[results.current].get()) {
    results.current = (results.current + 1) % ResultBuffers::kCount;
  }
  const std::string_view field =
      Sfp_ACD::AddressField(str, FirstChar(sep1), idx1, FirstChar(sep2), idx2);
  if (field.empty()) return nullptr;
  return StoreResult(results, field);
}

int PM_DEVKEY::GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2,
                             short idx2) {
  const Port::String value = GetStringByKey(key, FirstChar(sep1), idx1, FirstChar(sep2), idx2);
  return value.empty() ? 0 : UT_STR::AToI(value);
}

int PM_DEVKEY::GetInt32ByKeyFatal(const char* key, const char* sep1, short idx1, const char* sep2,
                                  short idx2) {
  const Port::String value = GetStringByKey(key, FirstChar(sep1), idx1, FirstChar(sep2), idx2);
  if (value.empty()) {
    PM_ISSUE(KeySearchFailed, key ? key : "", getlocation());
  }
  return UT_STR::AToI(value);
}

int PM_DEVKEY::GetInt32ByString(const char* str, const char* sep1, short idx1, const char* sep2,
                                short idx2) {
  const Port::String value =
      StaticAcdRead::GetStringFromString(str, FirstChar(sep1), idx1, FirstChar(sep2), idx2);
  return value.empty() ? 0 : UT_STR::AToI(value);
}

int PM_DEVKEY::GetInt32ByStringFatal(const char* str, const char* sep1, short idx1,
                                     const char* sep2, short idx2) {
  const Port::String value = GetStringByString(str, FirstChar(sep1), idx1, FirstChar(sep2), idx2);
  if (value.empty()) {
    PM_ISSUE(StringSearchFailed, str ? str : "", getlocation());
  }
  return UT_STR::AToI(value);
}

std::pair<short, short> PM_DEVKEY::GetMaxIndex(const char* key, char sep1, char sep2) const {
  if (!imp_ || !imp_->reader || !key) return {0, 0};
  return imp_->reader->GetMaxIndex(key, sep1, sep2);
}

std::pair<short, short> PM_DEVKEY::GetMaxIndexByString(const char* str, char sep1,
                                                       char sep2) const {
  return StaticAcdRead::GetMaxIndexFromString(str, sep1, sep2);
}

void PM_DEVKEY::getmaxindex(const char* key, const char* sep1, short& field, const char* sep2,
                            short& count2) {
  if (imp_ && imp_->reader && key) {
    imp_->reader->getmaxindex(key, sep1, field, sep2, count2);
  } else {
    StaticAcdRead::getmaxindexbystring("", sep1, field, sep2, count2);
  }
}

void PM_DEVKEY::getmaxindexbystring(const char* str, const char* sep1, short& field,
                                    const char* sep2, short& count2) {
  StaticAcdRead::getmaxindexbystring(str, sep1, field, sep2, count2);
}

unsigned char PM_DEVKEY::get_validity() const { return imp_ && imp_->valid() ? 1 : 0; }

const char* PM_DEVKEY::getlocation() const {
  return imp_ && imp_->reader ? imp_->reader->getlocation() : "";
}

unsigned int PM_DEVKEY::size() const { return imp_ && imp_->reader ? imp_->reader->size() : 0; }

int PM_DEVKEY::getnumkeys() const { return static_cast<int>(size()); }

short PM_DEVKEY::getnsearchkeys() const {
  return imp_ && imp_->reader ? imp_->reader->getnsearchkeys() : 0;
}

Sfp_ACD::Iterator PM_DEVKEY::begin() const {
  return imp_ && imp_->reader ? imp_->reader->begin() : Sfp_ACD::Iterator();
}

Sfp_ACD::Iterator PM_DEVKEY::end() const {
  return imp_ && imp_->reader ? imp_->reader->end() : Sfp_ACD::Iterator();
}

std::pair<Sfp_ACD::Iterator, bool> PM_DEVKEY::insert(const KeyValue& keyValue) {
  if (!imp_ || !imp_->reader) return {Sfp_ACD::Iterator(), false};
  return imp_->reader->insert(keyValue);
}

void PM_DEVKEY::sortaddnewkey(const char* key) {
  if (imp_ && imp_->reader) imp_->reader->sortaddnewkey(key);
}

void PM_DEVKEY::dump(const char* name) const {
  if (imp_ && imp_->reader) imp_->reader->dump(name);
}

unsigned char PM_DEVKEY::usecache() const { return imp_ ? imp_->usecache : 0; }
