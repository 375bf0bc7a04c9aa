// Shared libraries loaded at run time, through the dynamic loader.
#include "pmport/port_dynlib.h"

#include <dlfcn.h>

#include <cstring>

#include "pmport/port_file.h"
#include "pmport/port_msg.h"

namespace {

const char* LoaderError() {
  const char* error = ::dlerror();
  return error ? error : "an unknown reason";
}

}  // namespace

void PortDynamicLib::Closer::operator()(void* handle) const { ::dlclose(handle); }

PortDynamicLib::PortDynamicLib(const char* path, const char* initEntryName, void* /*reserved*/) {
  if (!path) return;
  // A path (rather than a name the loader searches for) must be a regular file: the loader would
  // wait on a FIFO for ever.
  if (std::strchr(path, '/') && !Port::File::OpenRegular(path).valid()) {
    Port_MsgManData::debugStub("dlopen of <%s> failed: not a readable regular file\n", path);
    return;
  }
  // Global symbols: an architecture library may rely on the libraries it depends on, which are
  // loaded before it.
  handle_.reset(::dlopen(path, RTLD_NOW | RTLD_GLOBAL));
  if (!handle_) {
    Port_MsgManData::debugStub("dlopen of <%s> failed: %s\n", path, LoaderError());
    return;
  }
  RunEntry(initEntryName);
}

PortDynamicLib::~PortDynamicLib() = default;

void* PortDynamicLib::getEntryPoint(const char* symbol) const {
  if (!handle_ || !symbol) return nullptr;
  return ::dlsym(handle_.get(), symbol);
}

void PortDynamicLib::unload(const char* finiEntryName) {
  if (!handle_) return;
  RunEntry(finiEntryName);
  handle_.reset();
}

void PortDynamicLib::RunEntry(const char* entryName) const {
  using Entry = void (*)();
  if (void* address = getEntryPoint(entryName)) reinterpret_cast<Entry>(address)();
}

char* PortDynamicLib::GetOSEntryPointName(const char* symbol, char* buffer) {
  if (!buffer) return nullptr;
  std::strcpy(buffer, symbol ? symbol : "");
  return buffer;
}

const char* PortDynamicLib::GetFileType() { return ".so"; }
