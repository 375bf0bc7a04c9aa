// A program built against the installed library.
#include <pmlib/pmlib.h>

#include <cstdio>

int main() {
  Port::String name("pmlib ");
  name += PMLibVersion();
  std::printf("%s\n", name.c_str());
  return name.Compare("PMLIB ", 1) == 0 ? 1 : 0;
}
