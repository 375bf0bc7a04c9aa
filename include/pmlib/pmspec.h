/// @file pmlib/pmspec.h
/// @brief Personality module specifications, the array of module names and the module registry.
#ifndef PMLIB_PMSPEC_H
#define PMLIB_PMSPEC_H

#include <pmlib/export.h>

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

/// Whether a specification may use unsupported personality modules (those installed under
/// data/unsupported/).
enum PM_PARTNAME_BINDING {
  PM_BINDING_SUPPORTED_ONLY = 0,     ///< never
  PM_BINDING_ALLOW_UNSUPPORTED = 1,  ///< yes
  PM_BINDING_FROM_ENVIRONMENT = 2    ///< as QOR_USE_UNSUPPORTED_PMS says (any value but 0 and 1)
};

/// @brief The module names handed out by PM_SPEC::get_list.
///
/// The elements are char*; the strings belong to the PM_SPEC that handed the array out.
/// Thread safety: as its PM_SPEC.
class PMLIB_API DARRAY_NAME : public UT_DARRAY {
 public:
  /// An array of @p count null names; @p flag is kept for the caller (UT_DARRAY::getflag).
  DARRAY_NAME(int count, int flag);
  ~DARRAY_NAME() override;
  DARRAY_NAME(const DARRAY_NAME&) = delete;
  DARRAY_NAME& operator=(const DARRAY_NAME&) = delete;

 private:
  char** names_;
};

/// @brief A module specification: one personality module.
///
/// An architecture name resolved to its definition file, opened as a key store and merged with
/// its chain of friend modules (ARCH_FRIEND). A specification constructed without a name lists
/// the installed modules (make_list). See docs/modules.md.
///
/// The handle owns one implementation object; PM_PIC and PersonalityModule::PicConfig install
/// implementations of their own kind, and the virtual operations below forward to it.
///
/// Thread safety: one object per thread. Constructing, copying, set_pm, verify_and_set_pm,
/// make_list and GetProperName(alias, true) fill process-wide tables that are not locked (the
/// alias registry, the unsupported list): run them on one thread at a time. The queries of a
/// set specification (file lookups, get_defdata, the accessors) may run on several threads, each
/// on its own object.
class PMLIB_API PM_SPEC {
 public:
  /// Resolves @p pm (a module name or an alias; null for an empty specification, "base" for the
  /// pseudo-module without definition) and opens its definition. A module installed nowhere gives
  /// the user-fatal message 33; the object is then at depth 1 without a definition.
  PM_SPEC(const char* pm, PM_PARTNAME_BINDING binding);
  /// Opens the same module again (an empty specification stays empty).
  PM_SPEC(const PM_SPEC& other);
  PM_SPEC& operator=(const PM_SPEC&) = delete;

  virtual ~PM_SPEC();
  /// Makes @p pm (a name or an alias) this specification's module and opens its definition with
  /// its friends. @return 1 when the definition was opened and verified, else 0.
  virtual unsigned char set_pm(const char* pm);
  /// Whether this PM_SPEC is set to a module whose definition reads. Internal messages say
  /// why not unless @p quiet; @p unused is not used.
  virtual unsigned char isvalid(unsigned char quiet, unsigned char unused);
  /// Whether @p pm is installed as a supported module with a readable definition; "self" asks
  /// about this specification's own definition.
  virtual unsigned char isvalidpmname(const char* pm, unsigned char quiet);
  /// Whether the module was found among the unsupported ones.
  virtual unsigned char isunsupported() const;
  /// On an empty specification: lists the installed modules (get_list, begin/end), those whose
  /// definition has BASE_MODE FALSE (and TRUE too with @p withBaseMode); with @p key only those
  /// whose definition has @p key, with @p value too only those where it equals @p value
  /// (ignoring case). Registers the aliases it meets.
  virtual void make_list(const char* key, const char* value, unsigned char withBaseMode);
  /// The path of a data file, interned in the PM_SPEC (do not free), or null.
  /// @param level  0: the installation's common data/ folder; 1: the module's.
  /// @param name   a file name; a leading "." is appended to the module's name (".acd").
  /// @param search when 0, the path in the first installation directory, whether it exists or
  ///               not; else the first existing copy in installation order.
  /// @param index  0..n-1: the n-th friend's folder; negative: the module's own, where -1 also
  ///               falls back on the friends' folders and then the common one.
  virtual char* getdatafilename(char level, const char* name, unsigned char search,
                                int index) const;
  /// getdatafilename as a string; empty for none.
  virtual Port::StringBase<char> GetDatafileName(char level, const char* name, bool search,
                                                 int index) const;
  /// Every existing copy of a data file: the module's, each friend's, the common one, in that
  /// order. The caller owns the vector.
  virtual std::unique_ptr<std::vector<Port::StringBase<char>>> getdatafiles(
      const Port::StringBase<char>& name);
  ///@{
  /// The paths of a help file (`help/<platform>/<language>/`), an executable (`bin/<platform>/`,
  /// ".exe" added) and a shared library (`lib/<platform>/lib<name>.so`), interned in the PM_SPEC
  /// (do not free), or null.
  virtual char* gethelpfilename(char level, const char* name, unsigned char search,
                                int index) const;
  virtual char* getexecfilename(char level, const char* name, unsigned char search) const;
  virtual char* getdllfilename(const char* name) const;
  ///@}
  /// Prints the module, its friends and its listed names as status messages.
  virtual void printme(const char* label) const;

  /// Locates the definition of @p pm (reporting a missing one) and, when @p set, makes @p pm
  /// this specification's module. @return 1.
  unsigned char verify_and_set_pm(const char* pm, unsigned char set);

  /// The module's name (lower case), or null for none. Owned by the PM_SPEC.
  char* get_pm() const;
  /// The definition's PMPREFIX; empty for none.
  const char* get_pmprefix() const;
  ///@{
  /// The @p i-th module of the friend chain, nearest first, or null. Owned by the PM_SPEC.
  char* get_pm_friend(int i) const;
  int get_num_friends() const;
  ///@}
  /// The definition's key store (friends merged), or null. Owned by the PM_SPEC.
  PM_DEVKEY* get_defdata() const;
  /// 0 nothing, 1 architecture (2 device, 3 package, 4 speed for parts).
  char get_depth() const;
  /// The module's alias when one is registered, else its name; the caller owns the copy.
  auto_array<char> GetName() const;
  /// The module registered for @p alias (scanning the installation on a miss when @p scan), or
  /// null.
  auto_array<char> GetProperName(const char* alias, bool scan);

  /// The names listed by make_list as an array owned by the PM_SPEC; with @p aliased, a module's
  /// alias stands in for its name.
  DARRAY_NAME* get_list(unsigned char aliased);
  ///@{
  /// The same names as a range of C strings, valid until the next make_list.
  const char* const* begin(bool aliased) const;
  const char* const* end(bool aliased) const;
  ///@}

 protected:
  /// For derived handles that install an implementation of their own.
  struct BareHandle {};
  explicit PM_SPEC(BareHandle);
  void install(std::unique_ptr<PMSpecImp> imp);
  ///@{
  /// The installed implementation; a const handle reaches it read-only.
  const PMSpecImp& implementation() const;
  PMSpecImp& implementation();
  ///@}

 private:
  friend class PM_DEVKEY;
  friend class PersonalityModule::DevKey;
  std::unique_ptr<PMSpecImp> imp_;
};

/// @brief The process-wide registry of modules: whether unsupported modules may be used and
/// which modules are installed as unsupported.
///
/// The library constructs one at load, pm_specmgr.
/// Thread safety: not locked. The unsupported list is filled on first use (InitUnsuppPMsOnce,
/// parsing with binding 1); run that on one thread at a time, like setting specifications.
class PMLIB_API PM_SPECMGR : public UT_STATOBJ {
 public:
  /// Reads QOR_USE_UNSUPPORTED_PMS ("YES" or "NO", any letter case) and registers the object
  /// under @p name.
  explicit PM_SPECMGR(const char* name);
  ~PM_SPECMGR() override;
  PM_SPECMGR(const PM_SPECMGR&) = delete;
  PM_SPECMGR& operator=(const PM_SPECMGR&) = delete;

  /// Whether @p pm was found under an installation's data/unsupported/ folder. Answers false for
  /// every name until the list has been filled.
  bool isunsupported_pm(const char* pm) const;
  /// Whether QOR_USE_UNSUPPORTED_PMS allowed unsupported modules when the library was loaded.
  bool useunsupported() const { return useUnsupported_; }
  /// Fills the unsupported list unless that was done already (for tools that list it).
  void InitUnsuppPMsOnce() const;
  /// The list entries, `Korvan:<pm>`, in the order found.
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

/// The registry the library constructs at load.
extern PMLIB_API PM_SPECMGR pm_specmgr;

#endif  // PMLIB_PMSPEC_H
