/// @file pmlib/pmdevkey.h
/// @brief Device key stores: keyed read access to an architecture's definition files.
#ifndef PMLIB_PMDEVKEY_H
#define PMLIB_PMDEVKEY_H

#include <pmlib/export.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <boost/shared_array.hpp>
#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>
#include <pmport/sfp_acd.h>

class PM_SPEC;
class PM_PIC;
class PMDevKeyImp;

/// @brief A key store over one definition file of an architecture (optionally merged with the
/// same file of each friend architecture).
///
/// Copies share one implementation; the definition reader behind it is shared process-wide
/// between stores opened with the same file, architecture, device, package and flags (unless
/// PM_DEVKEY_CACHE is NO). Values are addressed by key, field and subfield: see
/// docs/modules.md and docs/definition-files.md.
///
/// Thread safety: lookups are const on the shared reader and may run on several threads at once
/// (the C-string lookups share four rotating result buffers under a lock). Opening a store
/// takes the reader cache's lock only for the lookup and the insertion. insert and
/// sortaddnewkey change the shared reader: never call them while another thread uses a store
/// over the same file.
class PMLIB_API PM_DEVKEY {
 public:
  /// A key and its value, both NUL-terminated, shared with the reader.
  using KeyValue = std::pair<boost::shared_array<char>, boost::shared_array<char>>;

  /// A store for the PM_SPEC's architecture.
  /// @param name        a file name with or without extension; empty for the architecture's own
  ///                    definition file.
  /// @param spec        the architecture; null gives an empty store ("No PM_SPEC specified."
  ///                    unless @p decode).
  /// @param decode      read enciphered files too.
  /// @param withfriends read the file of every friend architecture, then the architecture's own
  ///                    (whose values win).
  /// @param usecache    share the reader through the process-wide cache.
  PM_DEVKEY(const char* name, PM_SPEC* spec, unsigned char decode, unsigned char withfriends,
            unsigned char usecache);
  /// A store for a part (device and package taken into account). @p pic must not be null.
  PM_DEVKEY(const char* name, PM_PIC* pic, unsigned char decode, unsigned char withfriends,
            unsigned char usecache);
  /// Adopts an implementation the library made.
  explicit PM_DEVKEY(boost::shared_ptr<PMDevKeyImp> imp);
  /// Copies share the implementation and the reader.
  PM_DEVKEY(const PM_DEVKEY& other);
  PM_DEVKEY& operator=(const PM_DEVKEY& other);
  ~PM_DEVKEY();

  ///@{
  /// Addressed lookups: field @p idx1 of the @p sep1-separated value, subfield @p idx2 of it
  /// split by @p sep2; a 0 separator means none. Empty when the key or the field is absent.
  /// GetStringByString addresses @p str itself.
  Port::StringBase<char> GetStringByKey(const char* key, char sep1, short idx1, char sep2,
                                        short idx2) const;
  Port::StringBase<char> GetStringByString(const char* str, char sep1, short idx1, char sep2,
                                           short idx2) const;
  ///@}
  /// GetStringByKey of @p key + "_" + the value of ARCH_NAME.
  Port::StringBase<char> GetArchStringByKey(const char* key, char sep1, short idx1, char sep2,
                                            short idx2) const;

  ///@{
  /// C-string lookups: only the first character of a separator counts, null means none.
  /// @return one of four rotating library buffers, intact until four more C-string lookups (on
  ///         any thread); null when there is no field.
  const char* getstringbykey(const char* key, const char* sep1, short idx1, const char* sep2,
                             short idx2);
  const char* getstringbystring(const char* str, const char* sep1, short idx1, const char* sep2,
                                short idx2);
  ///@}

  ///@{
  /// Integer lookups: 0 for an empty field; the Fatal forms also report the empty field.
  int GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2, short idx2);
  int GetInt32ByKeyFatal(const char* key, const char* sep1, short idx1, const char* sep2,
                         short idx2);
  int GetInt32ByString(const char* str, const char* sep1, short idx1, const char* sep2, short idx2);
  int GetInt32ByStringFatal(const char* str, const char* sep1, short idx1, const char* sep2,
                            short idx2);
  ///@}

  ///@{
  /// Loop bounds: the number of sep1-separated fields and the greatest number of
  /// sep2-separated subfields in one field.
  std::pair<short, short> GetMaxIndex(const char* key, char sep1, char sep2) const;
  std::pair<short, short> GetMaxIndexByString(const char* str, char sep1, char sep2) const;
  void getmaxindex(const char* key, const char* sep1, short& field, const char* sep2,
                   short& count2);
  void getmaxindexbystring(const char* str, const char* sep1, short& field, const char* sep2,
                           short& count2);
  ///@}

  ///@{
  /// The definition reader, forwarded (see StaticAcdRead): validity, path, key count,
  /// iteration, insertion of absent keys, dump.
  unsigned char get_validity() const;
  const char* getlocation() const;
  unsigned int size() const;
  int getnumkeys() const;
  short getnsearchkeys() const;
  Sfp_ACD::Iterator begin() const;
  Sfp_ACD::Iterator end() const;
  std::pair<Sfp_ACD::Iterator, bool> insert(const KeyValue& keyValue);
  void sortaddnewkey(const char* key);
  void dump(const char* name) const;
  unsigned char usecache() const;
  ///@}

  ///@{
  /// Exported for hosts; the library itself never reads or writes them.
  static short myret1;
  static short myret2;
  ///@}

 protected:
  boost::shared_ptr<PMDevKeyImp> imp_;

 private:
  // The library reads raw values (present or absent) through the store's reader.
  friend const StaticAcdRead* PMDevKeyReader(const PM_DEVKEY& store);
  friend void PMDevKeyInsertAbsent(PM_DEVKEY& store, const PM_DEVKEY& from);
};

/// Kept for hosts that call it; it has nothing to dump.
PMLIB_API void PMDumpDevkeyMgr();

namespace PersonalityModule {

class DevKeyImp;

/// @brief A key store that a caller can overlay with keys of its own.
///
/// Local keys answer GetStringByKey and GetInt32ByKey before the definition file is consulted;
/// with key prefixes set, a key K is looked up as "P1_..._Pn_K", then under every smaller set of
/// the prefixes, then as K. Every other operation, including PM_DEVKEY::GetStringByKey, sees the
/// file only.
///
/// Thread safety: one object per thread; copies share the local keys and are not locked.
class PMLIB_API DevKey : public PM_DEVKEY {
 public:
  DevKey(const char* name, PM_SPEC* spec, int nprefixes, bool decode, bool withfriends,
         bool usecache);
  /// The store of the part's architecture (no device or package taken into account).
  DevKey(const char* name, const PM_PIC* pic, int nprefixes, bool decode, bool withfriends,
         bool usecache);
  DevKey(const DevKey& other);
  DevKey& operator=(const DevKey& other);
  ~DevKey();

  ///@{
  /// Sets, or removes, a local key.
  void addlocalkey(const char* key, const char* value);
  void dellocalkey(const char* key);
  ///@}
  /// Sets prefix slot @p index (0 to nprefixes - 1); an empty prefix leaves the slot out.
  void setkeyprefix(int index, const char* prefix);

  /// The local key, else the file's value under the prefixed forms, else the file's own key;
  /// addressed as PM_DEVKEY::GetStringByKey.
  ///@{
  Port::StringBase<char> GetStringByKey(const char* key, char sep1, short idx1, char sep2,
                                        short idx2);
  int GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2, short idx2);
  ///@}

 private:
  DevKeyImp* local_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_PMDEVKEY_H
