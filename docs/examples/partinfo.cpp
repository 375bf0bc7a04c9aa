// partinfo: the installed architectures, then what pmlib makes of a part name.
#include <iostream>
#include <pmlib/pmlib.h>

int main(int argc, char** argv) try {
  for (const std::string& arch : pmlib::architectures()) std::cout << arch << "\n";
  const pmlib::Part part = pmlib::Part::parse(argc > 1 ? argv[1] : "xcab40e-4-pq208");
  if (const std::optional<pmlib::Failure> failure = part.failure()) {
    std::cout << "fails at the " << pmlib::levelName(failure->level) << " level, rejected \""
              << failure->rejected.value_or("") << "\"; choices:";
    for (const std::string& choice : part.choices()) std::cout << " " << choice;
    std::cout << "\n";
    return 1;
  }
  std::cout << *part.architecture() << " " << *part.composedName() << " valid\n";
} catch (const pmlib::Error& error) {
  std::cerr << "partinfo: " << error.what() << " (code " << error.code() << ")\n";
  return 2;
}
