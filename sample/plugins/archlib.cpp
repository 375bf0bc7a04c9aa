// The sample's architecture library "arch": replacements for functions of the generic tools.
// It relies on a family library (alphalib or gammalib) for arch_family, so it loads only after
// the family library that its architecture's libarch.acd names under DEPEND.
#include <cstdio>
#include <cstdlib>

extern "C" const char* arch_family();

namespace {

// Set by the initialisation entry, so that the replacements can tell it ran.
const char* loadedFor = nullptr;

void Trace(const char* what) {
  if (std::getenv("PM_TRACE")) std::fprintf(stderr, "libarch: %s for %s\n", what, arch_family());
}

}  // namespace

extern "C" {

void _init_libarch() {
  loadedFor = arch_family();
  Trace("initialised");
}

void _fini_libarch() {
  Trace("finalised");
  loadedFor = nullptr;
}

// Routes a net the way the family prefers; answers a description of the route.
const char* arch_route(const char* net) {
  static char description[128];
  std::snprintf(description, sizeof description, "%s routes %s", loadedFor ? loadedFor : "?",
                net ? net : "");
  return description;
}

// Places the design; answers the family the placement was made for.
const char* arch_place() { return loadedFor ? loadedFor : "?"; }

}  // extern "C"
