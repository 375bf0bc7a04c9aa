/// @file pmlib/pmdlm.h
/// @brief Architecture libraries: the shared libraries of a personality module that replace
/// functions of the generic tool code, the process-wide registry that loads them with their
/// dependencies, and the virtual entries ("VENTRY_" keys) that name the replacements.
///
/// See docs/architecture-libraries.md, which also says what a loaded library is trusted with.
#ifndef PMLIB_PMDLM_H
#define PMLIB_PMDLM_H

#include <pmlib/export.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <pmport/port_string.h>
#include <pmport/port_thread.h>
#include <pmport/ut_statobj.h>

class PM_SPEC;
class PM_DEVKEY;
class PortDynamicLib;

/// @brief One architecture library, loaded for as long as the entry lives.
///
/// Made by PM_DLMMGR. Thread safety: immutable once constructed; any thread may read it.
class PMLIB_API PM_LIBENT {
 public:
  /// Loads the library @p name that the PM_SPEC's architecture names (PM_SPEC::getdllfilename)
  /// and runs its entry `_init_lib<name>`. A library that is missing or cannot be loaded is
  /// reported (fatal 92 or 91) and the entry keeps no loaded library.
  PM_LIBENT(const char* name, PM_SPEC* spec);
  /// Runs the library's entry `_fini_lib<name>` and unloads it.
  ~PM_LIBENT();
  PM_LIBENT(const PM_LIBENT&) = delete;
  PM_LIBENT& operator=(const PM_LIBENT&) = delete;

  /// The library name, as requested.
  const char* getname() const { return name_.get(); }
  /// The library object: null when the architecture names no file for it; not loaded when the
  /// load failed.
  PortDynamicLib* getlib() const { return library_.get(); }
  /// Whether the library is loaded.
  bool isloaded() const;

 private:
  auto_array<char> name_;
  std::unique_ptr<PortDynamicLib> library_;
};

/// @brief The process-wide registry of architecture libraries, one entry per library name
/// (letter case counts).
///
/// A library is loaded on its first request, after the libraries its dependency file
/// `lib<name>.acd` lists under DEPEND, and stays loaded until the registry is destroyed, at
/// library unload; a library whose load failed stays registered and is not tried again.
///
/// Thread safety: may be used on several threads at once. Its lock guards only lookups and
/// insertions; dependency files are read and libraries loaded outside it.
class PMLIB_API PM_DLMMGR : public UT_STATOBJ {
 public:
  /// An empty registry registered under @p name. The library's own is registered as
  /// "PM_DLMMGR".
  explicit PM_DLMMGR(const char* name);
  /// Finalises and unloads every library, the last loaded first.
  ~PM_DLMMGR() override;
  PM_DLMMGR(const PM_DLMMGR&) = delete;
  PM_DLMMGR& operator=(const PM_DLMMGR&) = delete;

  /// The entry of library @p name of the PM_SPEC's architecture, loading it (dependencies
  /// first) on the first request. Two threads asking at once both get the entry registered
  /// first. Null only for a dependency that comes back to a library whose load is under way.
  boost::shared_ptr<PM_LIBENT> getlibent(const char* name, PM_SPEC* spec);
  /// The registered entry of @p name, or null; nothing is loaded.
  boost::shared_ptr<PM_LIBENT> findlibent(const char* name) const;
  /// The names of the registered libraries in ascending byte order.
  std::vector<std::string> getnames() const;

  /// The registry the library constructs at load.
  static PM_DLMMGR& Instance();

 private:
  struct ByName {
    using is_transparent = void;
    bool operator()(const boost::shared_ptr<PM_LIBENT>& a,
                    const boost::shared_ptr<PM_LIBENT>& b) const {
      return std::strcmp(a->getname(), b->getname()) < 0;
    }
    bool operator()(const boost::shared_ptr<PM_LIBENT>& a, const char* b) const {
      return std::strcmp(a->getname(), b) < 0;
    }
    bool operator()(const char* a, const boost::shared_ptr<PM_LIBENT>& b) const {
      return std::strcmp(a, b->getname()) < 0;
    }
  };

  void LoadDependencies(const char* name, PM_SPEC* spec);
  // Registers `entry` unless its name is taken; returns the registered entry.
  boost::shared_ptr<PM_LIBENT> Insert(const boost::shared_ptr<PM_LIBENT>& entry);

  std::set<boost::shared_ptr<PM_LIBENT>, ByName> entries_;
  std::vector<boost::shared_ptr<PM_LIBENT>> loadOrder_;  // the same entries, as registered
  mutable Port_ThrMutex mutex_;
};

/// @brief Answers, for one architecture, which function replaces a function of the generic
/// code.
///
/// Thread safety: get_ventrypoint may run on several threads at once, once the PM_SPEC is set
/// (each thread may use its own PM_DLM or share one: it holds nothing but the PM_SPEC).
class PMLIB_API PM_DLM {
 public:
  /// A replacement function, to be cast to its real type.
  using EntryPoint = void (*)();

  /// @p spec must not be null and must outlive this object.
  explicit PM_DLM(PM_SPEC* spec);
  ~PM_DLM();
  PM_DLM(const PM_DLM&) = delete;
  PM_DLM& operator=(const PM_DLM&) = delete;

  /// The replacement of @p function named by the virtual entry `VENTRY_<PLATFORM>_<function>`
  /// (else `VENTRY_<function>`) of @p devkey, or of the architecture's definition when @p devkey
  /// is null; its library is loaded on first use.
  /// @return the function, to be cast to its real type; null means: use the generic
  ///         implementation. It stays valid while pmlib is loaded.
  EntryPoint get_ventrypoint(const char* function, PM_DEVKEY* devkey);
  /// The same, the entry read from the architecture's definition-format file @p filename (the
  /// architecture's and its friends' copies).
  EntryPoint get_ventrypoint(const char* function, const char* filename);
  /// The architecture's own definition (a bare null argument chooses this form).
  EntryPoint get_ventrypoint(const char* function, std::nullptr_t) {
    return get_ventrypoint(function, static_cast<PM_DEVKEY*>(nullptr));
  }

 private:
  EntryPoint Resolve(const char* function, const PM_DEVKEY& store);

  PM_SPEC* spec_;
};

#endif  // PMLIB_PMDLM_H
