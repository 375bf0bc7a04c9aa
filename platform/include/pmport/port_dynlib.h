// Shared libraries loaded at run time.
#ifndef PMPORT_PORT_DYNLIB_H
#define PMPORT_PORT_DYNLIB_H

#include <pmport/export.h>

#include <memory>

class PMPORT_API PortDynamicLib {
 public:
  // Loads the shared library `path` (its symbols made available to libraries loaded after it,
  // every reference resolved now) and runs its entry `initEntryName` (a `void()` function) when
  // the name is given and the library has it. `reserved` must be null. A library that cannot be
  // loaded leaves the object not loaded; the loader's reason goes to the debug trace.
  PortDynamicLib(const char* path, const char* initEntryName, void* reserved);
  // Releases a library still loaded without running any finalisation entry.
  ~PortDynamicLib();
  PortDynamicLib(const PortDynamicLib&) = delete;
  PortDynamicLib& operator=(const PortDynamicLib&) = delete;

  bool isLoaded() const { return handle_ != nullptr; }
  // The address of the exported `symbol`, or null when it is absent or nothing is loaded.
  void* getEntryPoint(const char* symbol) const;
  // Runs the entry `finiEntryName` (a `void()` function) when given and present, then releases
  // the library. Nothing happens when it is not loaded.
  void unload(const char* finiEntryName);

  // The exported form of `symbol`: on this platform the symbol itself (C linkage), copied into
  // `buffer`, which is returned.
  static char* GetOSEntryPointName(const char* symbol, char* buffer);
  // The file type of shared libraries: ".so".
  static const char* GetFileType();

 private:
  void RunEntry(const char* entryName) const;

  struct Closer {
    void operator()(void* handle) const;
  };
  std::unique_ptr<void, Closer> handle_;
};

#endif  // PMPORT_PORT_DYNLIB_H
