// Specification internals: the implementation object behind PM_SPEC, the alias registry and the
// skipped-directory set. Not installed.
#ifndef PMLIB_S_BASPMSPEC_H
#define PMLIB_S_BASPMSPEC_H

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmlib/pmdevkey.h>
#include <pmlib/pmspec.h>
#include <pmport/port_string.h>

namespace PersonalityModule {
class BaseList;
class Validator;
}  // namespace PersonalityModule

// A vector of C strings that owns them (copies made with Port::strdup, freed with delete[]),
// so that callers can be handed the contiguous char* array itself.
class PMOwnedStrings {
 public:
  PMOwnedStrings() = default;
  ~PMOwnedStrings();
  PMOwnedStrings(const PMOwnedStrings&) = delete;
  PMOwnedStrings& operator=(const PMOwnedStrings&) = delete;

  void reserve(std::size_t count) { items_.reserve(count); }
  void push_back(const char* text);
  // Inserts a copy of `text` at its place in ascending byte order unless it is present already;
  // true when it was inserted.
  bool insert_sorted(const char* text);
  // Moves every string of `other` to the end of this list, leaving `other` empty.
  void take_all(PMOwnedStrings& other);
  void clear();
  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  char* operator[](std::size_t i) const { return items_[i]; }
  const std::vector<char*>& items() const { return items_; }

 private:
  std::vector<char*> items_;
};

// The implementation behind a PM_SPEC handle. Part and configuration implementations derive from
// it and override its virtual operations; the handle forwards to them.
// Thread safety: as its handle's, one object per thread, except that the file lookups may run on
// several threads over one object (architecture libraries load so). Const operations write the
// mutable members below, each saying why; returnedNames only under a lock.
class PMSpecImp {
 public:
  PMSpecImp(PM_SPEC* owner, const char* pm, PM_PARTNAME_BINDING binding);
  PMSpecImp(const PMSpecImp& other);
  PMSpecImp& operator=(const PMSpecImp&) = delete;

  virtual ~PMSpecImp();
  virtual unsigned char set_pm(const char* pm);
  virtual unsigned char isvalidpmname(const char* pm, bool quiet);
  virtual bool isunsupported() const;
  virtual void make_list(const char* key, const char* value, bool withBaseMode, int unused);
  virtual Port::String GetDatafileName(char level, const char* name, bool search, int index) const;
  virtual void Reset();
  virtual Port::String GetChainName(int level, int index, int internalIndex) const;
  virtual bool FindInPathList(char level, Port::String& path, const Port::String& name,
                              int firstIndex) const;
  // New unbuilt device, package and speed lists for this module (defined with the lists).
  virtual boost::shared_ptr<PersonalityModule::BaseList> CreateDeviceList() const;
  virtual boost::shared_ptr<PersonalityModule::BaseList> CreateNSDeviceList() const;
  virtual boost::shared_ptr<PersonalityModule::BaseList> CreatePkgList(
      const Port::String& name) const;
  virtual boost::shared_ptr<PersonalityModule::BaseList> CreateSpdList(
      const Port::String& name) const;

  unsigned char verify_and_set_pm(const char* name, bool set);
  void SetName(const char* name);
  boost::shared_ptr<PM_DEVKEY> OpenDefinition(bool followFriends, bool report, bool decode);
  void RecordAlias(const char* name, const char* alias);
  // A new copy of the module registered for `alias` (scanning every installed module once on a
  // miss when `scan`), or null.
  static auto_array<char> FindPmByAlias(const char* alias, bool scan);

  // Empties the listed names and the array made of them (a validity check does this).
  void ForgetNames();
  char* getdatafilename(char level, const char* name, bool search, int index) const;
  std::unique_ptr<std::vector<Port::String>> getdatafiles(const Port::String& name) const;
  char* gethelpfilename(char level, const char* name, bool search, int index) const;
  char* getexecfilename(char level, const char* name, bool search) const;
  char* getdllfilename(const char* name) const;
  const std::vector<char*>& GetListVector(bool aliased) const;
  DARRAY_NAME* get_list(bool aliased);
  void printme(const char* label) const;

  // Accessors for the handle and the key store.
  const Port::String& pmName() const { return pm; }
  const std::vector<char*>& friendNames() const { return friends.items(); }
  PM_DEVKEY* defdataStore() const { return defdata.get(); }
  const Port::String& prefix() const { return pmprefix; }
  signed char getDepth() const { return depth; }
  bool unsupportedPermitted() const { return unsupportedAllowed; }
  PersonalityModule::Validator* validatorObject() const { return validator.get(); }
  void setOwner(PM_SPEC* newOwner) { owner = newOwner; }

 protected:
  std::unique_ptr<DARRAY_NAME> list;
  // A cache: the const listing (begin, end) makes it on first use.
  mutable std::unique_ptr<PMOwnedStrings> aliasedNames;
  std::map<std::string, std::string> aliases;
  bool unsupportedAllowed;
  bool unsupported;
  PMOwnedStrings friends;
  PMOwnedStrings names;
  signed char depth;
  // A part's const speed test replaces it by the device-level store on first need.
  mutable boost::shared_ptr<PM_DEVKEY> defdata;
  // With archType: the type last set or probed; a const query may probe (PM_PIC::IsValid).
  mutable boost::shared_ptr<PersonalityModule::Validator> validator;
  Port::String pm;
  bool probing;
  Port::String pmprefix;
  mutable Port::String archType;
  PM_SPEC* owner;
  bool reportErrors;
  bool decodeDefinition;
  // A cache of the paths the const file lookups hand out as char*.
  mutable std::set<Port::String> returnedNames;
  // The result of the last set_pm or parse; a part's const IsValid records it while unknown.
  mutable unsigned char validity;

 private:
  void ClearListing();
  boost::shared_ptr<PM_DEVKEY> OpenStore(const Port::String& fileName, bool decode);
  void ScanInstallDir(const Port::String& dir, const char* key, const char* value,
                      bool withBaseMode);
  void MergeFriend(const Port::String& friendName, PM_DEVKEY& store, bool followFriends,
                   bool report, bool decode);
  static void MergeKeys(const PM_DEVKEY& friendStore, PM_DEVKEY& store);
  // A friend chain walked before with the same options, taken when nothing it depends on changed.
  std::string WalkKey(bool report, bool decode) const;
  bool TakeWalkedChain(PM_DEVKEY& store, bool report, bool decode);
  void RememberWalkedChain(const PM_DEVKEY& store, std::size_t firstFriend, bool report,
                           bool decode);
  bool LocateDefinitionIn(const Port::String& sub) const;
  bool LocateUnsupportedDefinition(const char* name);
  Port::String UnsupportedPrefix(int index) const;
  Port::String FindFallback(char level, const Port::String& sub, const char* name,
                            const Port::String& fileName) const;
  // Help, executable and library lookups beyond the module's own folder.
  Port::String FindHelpFallback(char level, const Port::String& helpDir, const char* name,
                                const Port::String& fileName, int index) const;
  Port::String FindExecFallback(const Port::String& fileName) const;
  // Keeps one copy of a path handed out as char*; null for an empty path.
  char* Intern(const Port::String& path) const;
};

// Whether the library file `path` exists. A "*" in its name stands for a version "MAJOR.MINOR":
// the best matching file of the folder is taken and `path` becomes its path.
bool ResolveVersionedFile(Port::String& path);

// The process-wide alias registry: PM name to alias; the first registration of a name wins.
std::map<std::string, std::string>& PMAliasRegistry();
// Directory names of an installation that are never taken for a module.
const std::set<Port::String>& PMSkippedDirectories();

#endif  // PMLIB_S_BASPMSPEC_H
