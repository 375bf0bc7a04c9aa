// Key-store internals: the implementation object, the process-wide reader cache, the rotating
// result buffers of the C-string lookups, field addressing and the debug stream. Not installed.
#ifndef PMLIB_S_BASPMDEVKEY_H
#define PMLIB_S_BASPMDEVKEY_H

#include <cstddef>
#include <list>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmlib/pmdevkey.h>
#include <pmport/port_file.h>
#include <pmport/port_string.h>
#include <pmport/port_thread.h>
#include <pmport/sfp_acd.h>
#include <pmport/ut_statobj.h>

class PMSpecImp;

// The three opening flags of a store, in their constructor order.
struct PMDevKeyFlags {
  bool decode;       // handed to the reader, and to its Decode after a multi-file read
  bool withfriends;  // read the file of every friend architecture, then the architecture's own
  bool usecache;     // share the reader through PM_INTDEVKEY_MGR
};

// The names of a part that a part store depends on.
struct PMPartNames {
  Port::String device;                      // empty when the part has none
  Port::String package;                     // empty when the part has none
  std::vector<Port::String> internalNames;  // the device's internal names, in order
};

class PMDevKeyImp {
 public:
  explicit PMDevKeyImp(bool usecache);
  virtual ~PMDevKeyImp();
  PMDevKeyImp(const PMDevKeyImp&) = delete;
  PMDevKeyImp& operator=(const PMDevKeyImp&) = delete;

  // Opens the store for the PM_SPEC's architecture.
  void OpenForSpec(const char* name, const PMSpecImp& spec, const PMDevKeyFlags& flags);
  // Opens the store for a part of the PM_SPEC's architecture.
  void OpenForPart(const char* name, const PMSpecImp& spec, const PMPartNames& part,
                   const PMDevKeyFlags& flags);

  bool valid() const;

  boost::shared_ptr<StaticAcdRead> reader;  // null until the store is opened
  unsigned char usecache;

 private:
  bool TakeCachedReader(const std::string& cacheKey);
  // Makes the reader of `files` (read in that order), or a copy of a reader that read them
  // already, and adds it to the cache when the store takes part in it.
  void Open(const Port::String& path, const std::string& cacheKey, char* const* searchKeys,
            const PMDevKeyFlags& flags, const std::vector<Port::String>& files);
  // What a store opened with `flags` reads: the file at `path` alone, or with friends the
  // architecture files.
  static std::vector<Port::String> FilesToRead(const PMSpecImp& spec, const Port::String& path,
                                               const char* name, const PMDevKeyFlags& flags);
  static std::vector<Port::String> ArchitectureFiles(const PMSpecImp& spec, const char* name);
};

// The cache key of a store: file, PM, device and package ("-" when empty), then the three flags
// as "t"/"f" letters, joined by ":".
std::string PMDevKeyCacheKey(const std::string& fileName, const std::string& pm,
                             const std::string& device, const std::string& package,
                             const PMDevKeyFlags& flags);
// The search keys of a part store, most specific last: each internal name from the last to the
// first (alone, then with ":<package>"), then the device (alone, then with ":<package>").
std::vector<std::string> PMPartSearchKeys(const PMPartNames& part);
// The path of definition file `fileName` of the PM_SPEC's architecture; empty when none.
Port::String PMLocateDefinitionFile(const char* fileName, const PMSpecImp& spec);

// A reader of the one definition file `path`, read with decoding as the library's direct readers
// do; when a key store has read that file already and not changed since, a copy of its reader,
// which reads nothing.
boost::shared_ptr<const StaticAcdRead> PMReadDefinitionFile(const Port::String& path);

// The reader behind a store; null for a store without one.
const StaticAcdRead* PMDevKeyReader(const PM_DEVKEY& store);
// Gives `store` every key of `from` it lacks, inherited rather than copied (see
// StaticAcdRead::inheritabsent); nothing when either has no reader.
void PMDevKeyInsertAbsent(PM_DEVKEY& store, const PM_DEVKEY& from);
// The raw value of `key` in the store's reader; null when the key (or the reader) is absent.
const char* PMDevKeyRawValue(const PM_DEVKEY& store, const char* key);

// The process-wide cache of opened definition readers, newest first.
class PM_INTDEVKEY_MGR : public UT_STATOBJ {
 public:
  PM_INTDEVKEY_MGR();
  ~PM_INTDEVKEY_MGR() override;
  PM_INTDEVKEY_MGR(const PM_INTDEVKEY_MGR&) = delete;
  PM_INTDEVKEY_MGR& operator=(const PM_INTDEVKEY_MGR&) = delete;

  // The newest reader whose compare name equals `key` ignoring case; null when there is none or
  // the cache is disabled.
  boost::shared_ptr<StaticAcdRead> Find(const char* key) const;
  // Puts `reader` in front of the list, under its compare name.
  void Add(const boost::shared_ptr<StaticAcdRead>& reader);
  bool enabled() const { return enabled_; }
  std::size_t count() const;

  // The instance the library constructs at load.
  static PM_INTDEVKEY_MGR& Instance();

 private:
  // `key` lower-cased, in a buffer of the calling thread that the next call reuses.
  static const std::string& Folded(const char* key);

  bool enabled_;
  std::list<boost::shared_ptr<StaticAcdRead>> readers_;
  // Lower-cased compare name to the newest reader under it, so a lookup is constant time.
  std::unordered_map<std::string, boost::shared_ptr<StaticAcdRead>> newest_;
  static bool instanceExists_;
};

// The library's debug stream: the file named by PM_DEBUG_FILE, else standard output.
class PMDebugStream {
 public:
  PMDebugStream();
  ~PMDebugStream();
  PMDebugStream(const PMDebugStream&) = delete;
  PMDebugStream& operator=(const PMDebugStream&) = delete;

  std::ostream& stream();
  // Starts an indented write: "#" and two spaces per indentation level.
  std::ostream& indented();

  static PMDebugStream& Instance();

 private:
  Port::DescriptorOutBuf buffer_;
  std::ostream file_;
  int level_ = 0;
};

#endif  // PMLIB_S_BASPMDEVKEY_H
