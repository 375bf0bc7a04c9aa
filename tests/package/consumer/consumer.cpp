// A program built against the installed library, through the modern API, reading the installed
// sample (KORVAN_PATH).
#include <pmlib/pmlib.h>

#include <iostream>

int main() try {
  std::cout << "pmlib " << PMLibVersion() << "\n";
  const std::vector<std::string> architectures = pmlib::architectures();
  const pmlib::Part part = pmlib::Part::parse("xcab40e-4-pq208");
  std::cout << architectures.size() << " architectures; " << part.composedName().value_or("?")
            << (part.valid() ? " valid" : " invalid") << "\n";
  return architectures.empty() || !part.valid() ? 1 : 0;
} catch (const pmlib::Error& error) {
  std::cerr << "consumer: " << error.what() << " (code " << error.code() << ")\n";
  return 1;
}
