// Personality module specifications, the array of module names and the module registry.
#ifndef PMLIB_PMSPEC_H
#define PMLIB_PMSPEC_H

#include <memory>
#include <vector>

#include <pmport/port_string.h>
#include <pmport/ut_darray.h>
#include <pmport/ut_statobj.h>

class PMSpecImp;
class PMPicImp;
class PM_DEVKEY;
namespace PersonalityModule {
class DevKey;
}

// Whether a specification may use unsupported personality modules.
enum PM_PARTNAME_BINDING {
  PM_BINDING_SUPPORTED_ONLY = 0,  // never
  PM_BINDING_ALLOW_UNSUPPORTED = 1,  // yes
  PM_BINDING_FROM_ENVIRONMENT = 2  // as QOR_USE_UNSUPPORTED_PMS says (any value but 0 and 1)
};

// The module names handed out by PM_SPEC::get_list. The elements are char*; the strings belong
// to the PM_SPEC.
class DARRAY_NAME : public UT_DARRAY {
 public:
  DARRAY_NAME(int count, int flag);
  ~DARRAY_NAME() override;
  DARRAY_NAME(const DARRAY_NAME&) = delete;
  DARRAY_NAME& operator=(const DARRAY_NAME&) = delete;

 private:
  char** names_;
};

// A module specification: one personality module: an architecture name resolved to its definition
// file, opened as a key store and merged with its chain of friend modules. A specification
// constructed without a name lists the installed modules.
class PM_SPEC {
 public:
  PM_SPEC(const char* pm, PM_PARTNAME_BINDING binding);
  PM_SPEC(const PM_SPEC& other);
  PM_SPEC& operator=(const PM_SPEC&) = delete;

  virtual ~PM_SPEC();
  virtual unsigned char set_pm(const char* pm);
  virtual unsigned char isvalid(unsigned char quiet, unsigned char unused);
  virtual unsigned char isvalidpmname(const char* pm, unsigned char quiet);
  virtual unsigned char isunsupported() const;
  virtual void make_list(const char* key, const char* value, unsigned char withBaseMode);
  // The path of a data file, interned in the PM_SPEC (do not free), or null.
  virtual char* getdatafilename(char level, const char* name, unsigned char search,
                                int index) const;
  virtual Port::StringBase<char> GetDatafileName(char level, const char* name, bool search,
                                                 int index) const;
  // Every existing copy of a data file: the module's, each friend's, the common one, in that
  // order. The caller owns the vector.
  virtual std::unique_ptr<std::vector<Port::StringBase<char>>> getdatafiles(
      const Port::StringBase<char>& name);
  // The paths of a help file, an executable and a shared library, interned in the PM_SPEC
  // (do not free), or null.
  virtual char* gethelpfilename(char level, const char* name, unsigned char search,
                                int index) const;
  virtual char* getexecfilename(char level, const char* name, unsigned char search) const;
  virtual char* getdllfilename(const char* name) const;
  virtual void printme(const char* label) const;

  // Locates the definition of `pm` (reporting a missing one) and, when `set`, makes `pm` this
  // specification's module. Returns 1.
  unsigned char verify_and_set_pm(const char* pm, unsigned char set);

  char* get_pm() const;
  const char* get_pmprefix() const;
  char* get_pm_friend(int i) const;
  int get_num_friends() const;
  PM_DEVKEY* get_defdata() const;
  char get_depth() const;
  // The module's alias when one is registered, else its name; the caller owns the copy.
  auto_array<char> GetName() const;
  // The module registered for `alias` (scanning the installation on a miss when `scan`), or null.
  auto_array<char> GetProperName(const char* alias, bool scan);

  DARRAY_NAME* get_list(unsigned char aliased);
  const char* const* begin(bool aliased) const;
  const char* const* end(bool aliased) const;

 protected:
  // For derived handles that install an implementation of their own.
  struct BareHandle {};
  explicit PM_SPEC(BareHandle);
  void install(std::unique_ptr<PMSpecImp> imp);
  // The installed implementation.
  PMSpecImp& implementation() const;

 private:
  friend class PM_DEVKEY;
  friend class PersonalityModule::DevKey;
  std::unique_ptr<PMSpecImp> imp_;
};

// The process-wide registry of modules: whether unsupported modules may be used and which
// modules are installed as unsupported.
class PM_SPECMGR : public UT_STATOBJ {
 public:
  explicit PM_SPECMGR(const char* name);
  ~PM_SPECMGR() override;
  PM_SPECMGR(const PM_SPECMGR&) = delete;
  PM_SPECMGR& operator=(const PM_SPECMGR&) = delete;

  // Whether `pm` was found under an installation's data/unsupported/ folder. Answers false for
  // every name until the list has been filled.
  bool isunsupported_pm(const char* pm) const;
  // Whether QOR_USE_UNSUPPORTED_PMS allowed unsupported modules when the library was loaded.
  bool useunsupported() const { return useUnsupported_; }
  // Fills the unsupported list unless that was done already (for tools that list it).
  void InitUnsuppPMsOnce() const;
  // The list entries, "Korvan:<pm>", in the order found.
  const std::vector<Port::StringBase<char>>& unsupportedlist() const { return unsupportedList_; }

 private:
  // The part-name parser fills and reads the list itself.
  friend class PMPicImp;

  void InitUnsuppPMs() const;
  void AddUnsupportedPM(const char* pm) const;
  bool IsInUnsupportedList(const Port::StringBase<char>& entry) const;

  mutable std::vector<Port::StringBase<char>> unsupportedList_;
  mutable bool initialized_;
  bool useUnsupported_;
};

extern PM_SPECMGR pm_specmgr;

#endif  // PMLIB_PMSPEC_H
