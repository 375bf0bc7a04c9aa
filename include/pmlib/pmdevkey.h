// Device key stores: keyed read access to an architecture's definition files.
#ifndef PMLIB_PMDEVKEY_H
#define PMLIB_PMDEVKEY_H

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

// A key store over one definition file of an architecture (optionally merged with the same file
// of each friend architecture). Copies share one implementation; the definition reader behind it
// is shared process-wide between stores opened with the same file, architecture and flags.
class PM_DEVKEY {
 public:
  using KeyValue = std::pair<boost::shared_array<char>, boost::shared_array<char>>;

  // A store for the PM_SPEC's architecture. `name` is a file name with or without
  // extension; an empty name stands for the architecture's own definition file.
  PM_DEVKEY(const char* name, PM_SPEC* spec, unsigned char decode, unsigned char withfriends,
            unsigned char usecache);
  // A store for a part (device and package taken into account). `pic` must not be null.
  PM_DEVKEY(const char* name, PM_PIC* pic, unsigned char decode, unsigned char withfriends,
            unsigned char usecache);
  // Adopts an implementation the library made.
  explicit PM_DEVKEY(boost::shared_ptr<PMDevKeyImp> imp);
  PM_DEVKEY(const PM_DEVKEY& other);
  PM_DEVKEY& operator=(const PM_DEVKEY& other);
  ~PM_DEVKEY();

  // Addressed lookups: field `idx1` of the `sep1`-separated value, subfield `idx2` of it split by
  // `sep2`; a 0 separator means none. Empty when the key or the field is absent.
  Port::StringBase<char> GetStringByKey(const char* key, char sep1, short idx1, char sep2,
                                        short idx2) const;
  Port::StringBase<char> GetStringByString(const char* str, char sep1, short idx1, char sep2,
                                           short idx2) const;
  // GetStringByKey of `key` + "_" + the value of ARCH_NAME.
  Port::StringBase<char> GetArchStringByKey(const char* key, char sep1, short idx1, char sep2,
                                            short idx2) const;

  // C-string lookups: only the first character of a separator counts, null means none. The
  // result lives in one of four rotating library buffers and is null when there is no field.
  const char* getstringbykey(const char* key, const char* sep1, short idx1, const char* sep2,
                             short idx2);
  const char* getstringbystring(const char* str, const char* sep1, short idx1, const char* sep2,
                                short idx2);

  // Integer lookups: 0 for an empty field; the Fatal forms also report the empty field.
  int GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2, short idx2);
  int GetInt32ByKeyFatal(const char* key, const char* sep1, short idx1, const char* sep2,
                         short idx2);
  int GetInt32ByString(const char* str, const char* sep1, short idx1, const char* sep2,
                       short idx2);
  int GetInt32ByStringFatal(const char* str, const char* sep1, short idx1, const char* sep2,
                            short idx2);

  // Loop bounds: the number of sep1-separated fields and the greatest number of sep2-separated
  // subfields in one field.
  std::pair<short, short> GetMaxIndex(const char* key, char sep1, char sep2) const;
  std::pair<short, short> GetMaxIndexByString(const char* str, char sep1, char sep2) const;
  void getmaxindex(const char* key, const char* sep1, short& field, const char* sep2,
                   short& count2);
  void getmaxindexbystring(const char* str, const char* sep1, short& field, const char* sep2,
                           short& count2);

  // The definition reader, forwarded.
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

  // Exported for hosts; the library itself never reads or writes them.
  static short myret1;
  static short myret2;

 protected:
  boost::shared_ptr<PMDevKeyImp> imp_;

 private:
  // The library reads raw values (present or absent) through the store's reader.
  friend const StaticAcdRead* PMDevKeyReader(const PM_DEVKEY& store);
};

// Kept for hosts that call it; it has nothing to dump.
void PMDumpDevkeyMgr();

namespace PersonalityModule {

class DevKeyImp;

// A key store that a caller can overlay with keys of its own: local keys answer GetStringByKey
// and GetInt32ByKey before the definition file is consulted. Every other operation, including
// PM_DEVKEY::GetStringByKey, sees the file only.
class DevKey : public PM_DEVKEY {
 public:
  DevKey(const char* name, PM_SPEC* spec, int nprefixes, bool decode, bool withfriends,
         bool usecache);
  // The store of the part's architecture (no device or package taken into account).
  DevKey(const char* name, const PM_PIC* pic, int nprefixes, bool decode, bool withfriends,
         bool usecache);
  DevKey(const DevKey& other);
  DevKey& operator=(const DevKey& other);
  ~DevKey();

  void addlocalkey(const char* key, const char* value);
  void dellocalkey(const char* key);
  void setkeyprefix(int index, const char* prefix);

  Port::StringBase<char> GetStringByKey(const char* key, char sep1, short idx1, char sep2,
                                        short idx2);
  int GetInt32ByKey(const char* key, const char* sep1, short idx1, const char* sep2, short idx2);

 private:
  DevKeyImp* local_;
};

}  // namespace PersonalityModule

#endif  // PMLIB_PMDEVKEY_H
