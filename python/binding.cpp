// _pmlib: the compiled half of the pmlib package. Module and Part wrap pmlib::Module and
// pmlib::Part; the functions wrap the installation calls. Every library call goes through Run
// (calls.h); values come back as the Python side's enums and dataclasses (values.h).
#include <pmlib/error.h>
#include <pmlib/installation.h>
#include <pmlib/module.h>
#include <pmlib/part.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calls.h"
#include "values.h"

namespace pmpython {
namespace {

using namespace pybind11::literals;

// A module with the lock its queries take.
struct PyModule {
  explicit PyModule(pmlib::Module opened) : module(std::move(opened)) {}
  pmlib::Module module;
  std::mutex lock;
};

// A part with its lock and the messages the library issued while setting it up.
struct PyPart {
  explicit PyPart(pmlib::Part made) : part(std::move(made)) {}
  pmlib::Part part;
  std::mutex lock;
  std::vector<Port::Message> messages;
};

pmlib::Unsupported UnsupportedFrom(const std::optional<bool>& allowed) {
  if (!allowed) return pmlib::Unsupported::FromEnvironment;
  return *allowed ? pmlib::Unsupported::Allowed : pmlib::Unsupported::Refused;
}

// One (separator, index) pair of Module.value; a 1-character separator is all the library splits
// at.
using FieldSpec = std::pair<std::string, short>;

void AddressWith(const FieldSpec& spec, char& separator, short& index) {
  if (spec.first.size() != 1) throw py::value_error("a field separator is one character");
  separator = spec.first[0];
  index = spec.second;
}

// A bare extension ("acd") names the module's own file, as ".acd" does for the library.
std::string DataFileName(const std::string& kind) {
  return kind.find('.') == std::string::npos ? "." + kind : kind;
}

template <typename Values>
py::list ListOf(const Values& values) {
  py::list converted;
  for (const auto& value : values) converted.append(ToPython(value));
  return converted;
}

// A query of a module or part: its own lock, not the set-up lock.
template <typename Wrapped, typename Query>
auto Ask(Wrapped& self, Query&& query) {
  return Run(Locks{&self.lock, false}, std::forward<Query>(query));
}

const pmlib::Module& Target(const PyModule& self) { return self.module; }
const pmlib::Part& Target(const PyPart& self) { return self.part; }

// A property answering the wrapped object's @p query as it stands.
template <typename Wrapped, typename Result, typename Object>
auto Query(Result (Object::*query)() const) {
  return [query](Wrapped& self) { return Ask(self, [&] { return (Target(self).*query)(); }); };
}

// A method answering the wrapped object's @p query for one name.
template <typename Wrapped, typename Result, typename Object>
auto QueryOf(Result (Object::*query)(std::string_view) const) {
  return [query](Wrapped& self, const std::string& name) {
    return Ask(self, [&] { return (Target(self).*query)(name); });
  };
}

// A call that sets up modules or parts (or fills the library's shared lists) from an object.
template <typename Wrapped, typename SetUp>
auto SetUpFrom(Wrapped& self, SetUp&& setUp) {
  return Run(Locks{&self.lock, true}, std::forward<SetUp>(setUp));
}

std::unique_ptr<PyPart> NewPart(const std::function<pmlib::Part()>& make) {
  std::vector<Port::Message> messages;
  pmlib::Part made = Run(Locks{nullptr, true}, make, &messages);
  auto part = std::make_unique<PyPart>(std::move(made));
  part->messages = std::move(messages);
  return part;
}

std::string PartName(PyPart& self) {
  return Ask(self, [&] {
    return self.part.composedName().value_or(self.part.architecture().value_or(""));
  });
}

std::string PartRepr(PyPart& self) {
  const auto [levels, failure] = Ask(self, [&] {
    const pmlib::Part& part = self.part;
    return std::make_pair(
        std::vector<std::optional<std::string>>{part.architecture(), part.device(), part.package(),
                                                part.speed()},
        part.failure());
  });
  static const char* const kNames[] = {"arch", "device", "package", "speed"};
  std::string text = "Part(";
  for (std::size_t i = 0; i < levels.size(); ++i) {
    text +=
        std::string(i ? ", " : "") + kNames[i] + "=" + std::string(py::repr(py::cast(levels[i])));
  }
  if (failure) {
    text += ", fails_at=" + std::string(py::str(ToPython(failure->level))) +
            ", rejected=" + std::string(py::repr(py::cast(failure->rejected)));
  }
  return text + ")";
}

void DefineModule(py::module_& m) {
  py::class_<PyModule>(
      m, "Module", "One installed module (architecture): its definition merged with its friends'.")
      .def(
          py::init([](const std::string& name, bool unsupported) {
            return std::make_unique<PyModule>(Run(Locks{nullptr, true}, [&] {
              return pmlib::Module(name, UnsupportedFrom(unsupported));
            }));
          }),
          "name"_a, "unsupported"_a = false,
          "Opens the module NAME (a name or an alias); unsupported=True reaches the modules under\n"
          "data/unsupported/. Raises pmlib.Error when no installation holds it or its definition\n"
          "does not read.")
      .def_property_readonly("name", Query<PyModule>(&pmlib::Module::name),
                             "The module's name, lower case.")
      .def_property_readonly("alias", Query<PyModule>(&pmlib::Module::alias),
                             "The alias its definition registers, or None.")
      .def_property_readonly("unsupported", Query<PyModule>(&pmlib::Module::unsupported),
                             "Whether it was found among the unsupported modules.")
      .def_property_readonly("definition", Query<PyModule>(&pmlib::Module::definition),
                             "The definition file the library read.")
      .def_property_readonly("vendor", Query<PyModule>(&pmlib::Module::vendor),
                             "VENDOR, or None when the definitions give none.")
      .def_property_readonly("family", Query<PyModule>(&pmlib::Module::family),
                             "FAMILY, or None when the definitions give none.")
      .def_property_readonly(
          "type",
          [](PyModule& self) { return ToPython(Ask(self, [&] { return self.module.type(); })); },
          "ARCH_TYPE as a pmlib.ModuleType (FPGA when absent).")
      .def_property_readonly("type_name", Query<PyModule>(&pmlib::Module::typeName),
                             "ARCH_TYPE as text, upper case (\"FPGA\" when absent).")
      .def_property_readonly("friends", Query<PyModule>(&pmlib::Module::friends),
                             "The friend chain, nearest first; empty without friends.")
      .def(
          "value",
          [](PyModule& self, const std::string& key, const std::optional<FieldSpec>& field,
             const std::optional<FieldSpec>& subfield) {
            if (!field && subfield) throw py::value_error("a subfield needs a field");
            if (!field) return Ask(self, [&] { return self.module.value(key); });
            pmlib::Field address;
            AddressWith(*field, address.separator, address.index);
            if (subfield) AddressWith(*subfield, address.subSeparator, address.subIndex);
            return Ask(self, [&] { return self.module.value(key, address); });
          },
          "key"_a, "field"_a = py::none(), "subfield"_a = py::none(),
          "The value of KEY with the friends' definitions merged, or None when no definition has\n"
          "it (\"\" when present and empty). field=(separator, index) picks one field of the "
          "value,\n"
          "subfield=(separator, index) one part of that field: value(\"DEVICE_INTERNAL\", (\":\", "
          "1),\n"
          "(\",\", 0)). An absent or empty field is None.")
      .def_property_readonly(
          "own_keys", Query<PyModule>(&pmlib::Module::ownKeys),
          "The (key, value) pairs of the module's own definition file, in file order.")
      .def_property_readonly(
          "device_names",
          [](PyModule& self) { return SetUpFrom(self, [&] { return self.module.deviceNames(); }); },
          "The device names a part of this module may have.")
      .def(
          "device",
          [](PyModule& self, const std::string& name) {
            return ToPython(SetUpFrom(self, [&] { return self.module.device(name); }));
          },
          "name"_a, "The pmlib.Device of any of its names; raises pmlib.Error when none has it.")
      .def_property_readonly(
          "devices",
          [](PyModule& self) {
            return ListOf(SetUpFrom(self, [&] { return self.module.devices(); }));
          },
          "Every device as a pmlib.Device, in device_names order.")
      .def(
          "files",
          [](PyModule& self, const std::string& kind) {
            return Ask(self, [&] { return self.module.dataFiles(DataFileName(kind)); });
          },
          "kind"_a,
          "Every existing copy of a data file, the module's own, each friend's, then the\n"
          "installation's common one. KIND is a file name (\"ab40e.pkg\") or an extension\n"
          "(\"acd\" or \".acd\": the file named after the module).")
      .def(
          "data_file",
          [](PyModule& self, const std::string& kind) {
            return Ask(self, [&] { return self.module.dataFile(DataFileName(kind)); });
          },
          "kind"_a, "The first existing copy of a data file (KIND as for files()), or None.")
      .def("help_file", QueryOf<PyModule>(&pmlib::Module::helpFile), "name"_a,
           "The first existing help file NAME (help/<platform>/<language>/), or None.")
      .def("program_file", QueryOf<PyModule>(&pmlib::Module::programFile), "name"_a,
           "The first existing program NAME (bin/<platform>/), or None.")
      .def("library_file", QueryOf<PyModule>(&pmlib::Module::libraryFile), "name"_a,
           "The first existing plug-in library lib<NAME>.so (lib/<platform>/), or None.")
      .def(
          "__repr__",
          [](PyModule& self) {
            return "Module(" +
                   std::string(py::repr(py::str(Ask(self, [&] { return self.module.name(); })))) +
                   ")";
          },
          "Module('name').");
}

void DefinePart(py::module_& m) {
  py::class_<PyPart>(m, "Part",
                     "A part name read into architecture, device, package and speed. A name that\n"
                     "fails is a part that says where (fails_at), never an exception.")
      .def_static(
          "from_levels",
          [](const std::string& arch, const std::optional<std::string>& device,
             const std::optional<std::string>& package, const std::optional<std::string>& speed,
             bool unsupported) {
            return NewPart([&] {
              const auto view = [](const std::optional<std::string>& level) {
                return level ? std::optional<std::string_view>(*level) : std::nullopt;
              };
              return pmlib::Part::fromLevels(arch, view(device), view(package), view(speed),
                                             UnsupportedFrom(unsupported));
            });
          },
          "arch"_a, "device"_a = py::none(), "package"_a = py::none(), "speed"_a = py::none(),
          "unsupported"_a = true,
          "A part of ARCH set level by level (a level after a missing one is not set). Raises\n"
          "pmlib.Error when ARCH is not installed or does not read.")
      .def_property_readonly("arch", Query<PyPart>(&pmlib::Part::architecture),
                             "The architecture, or None.")
      .def_property_readonly("device", Query<PyPart>(&pmlib::Part::device),
                             "The device (\"xcab40e\"), or None.")
      .def_property_readonly("package", Query<PyPart>(&pmlib::Part::package),
                             "The package (\"pq208\"), or None.")
      .def_property_readonly("speed", Query<PyPart>(&pmlib::Part::speed),
                             "The speed grade (\"-4\"), or None.")
      .def_property_readonly("internal_names", Query<PyPart>(&pmlib::Part::internalNames),
                             "The device's internal names; empty without a device.")
      .def_property_readonly(
          "valid", [](PyPart& self) { return Ask(self, [&] { return self.part.valid(true); }); },
          "Whether every level down to the speed is set and valid.")
      .def_property_readonly(
          "valid_to_package",
          [](PyPart& self) { return Ask(self, [&] { return self.part.valid(false); }); },
          "Whether every level down to the package is set and valid.")
      .def_property_readonly(
          "fails_at",
          [](PyPart& self) -> py::object {
            const auto failure = Ask(self, [&] { return self.part.failure(); });
            return failure ? ToPython(failure->level) : py::none();
          },
          "The first pmlib.Level that fails (rejected, else not given, else not accepted), or "
          "None.")
      .def_property_readonly(
          "rejected",
          [](PyPart& self) {
            const auto failure = Ask(self, [&] { return self.part.failure(); });
            return failure ? failure->rejected : std::nullopt;
          },
          "The text the failing level rejected; None when it was not given or none fails.")
      .def_property_readonly("choices", Query<PyPart>(&pmlib::Part::choices),
                             "What the failing level could be; what may come next when none fails.")
      .def(
          "complete",
          [](PyPart& self) -> std::unique_ptr<PyPart> {
            std::optional<pmlib::Part> completed =
                SetUpFrom(self, [&] { return self.part.completed(); });
            if (!completed) return nullptr;
            return std::make_unique<PyPart>(std::move(*completed));
          },
          "The part completed with the first device, package and speed of each list, or None\n"
          "when some level has none or there is no architecture.")
      .def_property_readonly("composed_name", Query<PyPart>(&pmlib::Part::composedName),
                             "Device, package and speed run together without the device's \"xc\"; "
                             "None without a device.")
      .def_property_readonly(
          "databook_name", Query<PyPart>(&pmlib::Part::databookName),
          "Device, speed (unless \"-0P\") and package run together; None without a device.")
      .def_property_readonly("subfamily", Query<PyPart>(&pmlib::Part::subfamily),
                             "The device's subfamily, or None.")
      .def_property_readonly(
          "range", Query<PyPart>(&pmlib::Part::range),
          "The range the speed names, else the architecture's first; None when it lists none.")
      .def_property_readonly(
          "speed_flags",
          [](PyPart& self) -> py::object {
            const auto flags = Ask(self, [&] { return self.part.speedFlags(); });
            return flags ? ToPython(*flags) : py::none();
          },
          "The pmlib.SpeedFlags of the device's speed file; None without a package.")
      .def_property_readonly(
          "module",
          [](PyPart& self) {
            return std::make_unique<PyModule>(SetUpFrom(self, [&] { return self.part.module(); }));
          },
          "The part's architecture as a pmlib.Module; raises pmlib.Error without one.")
      .def_property_readonly(
          "messages", [](PyPart& self) { return ListOf(self.messages); },
          "The pmlib.Message list the library issued while this part was made (also delivered\n"
          "to the open capture_messages() block or the \"pmlib\" logger).")
      .def("__str__", &PartName,
           "The part's name as parts are listed (composed_name), else the architecture, else \"\".")
      .def("__repr__", &PartRepr, "The levels, and the failing level with its rejected text.");
}

void DefineFunctions(py::module_& m) {
  m.def(
      "parse_part",
      [](const std::string& name, const std::optional<std::string>& arch,
         const std::optional<bool>& unsupported, bool configuration) {
        pmlib::PartOptions options;
        options.architecture = arch;
        options.unsupported = UnsupportedFrom(unsupported);
        options.configuration = configuration;
        return NewPart([&] { return pmlib::Part::parse(name, options); });
      },
      "name"_a, "arch"_a = py::none(), "unsupported"_a = py::none(), "configuration"_a = false,
      "Reads the part name NAME as a design tool does. arch (\"VENDOR:ARCH\" or \"ARCH\") reads "
      "it\n"
      "as a part of that architecture; unsupported=None follows QOR_USE_UNSUPPORTED_PMS, True or\n"
      "False allow or refuse unsupported architectures; configuration=True follows the\n"
      "configuration rules. Raises pmlib.Error only when no installation is set.");
  m.def(
      "installation", [] { return Run(Locks{}, [] { return pmlib::installation(); }); },
      "The installation folders, first overriding, last the base installation.");
  m.def(
      "set_installation",
      [](const std::vector<std::string>& folders) {
        Run(Locks{nullptr, true}, [&] {
          pmlib::setInstallation(folders);
          return true;
        });
      },
      "folders"_a, "Replaces the installation folders; call it before the first lookup.");
  m.def(
      "modules",
      [](const std::optional<std::string>& key, const std::optional<std::string>& value,
         bool baseMode, bool unsupported) {
        const pmlib::ModuleQuery query{key, value, baseMode, unsupported};
        return ListOf(Run(Locks{nullptr, true}, [&] { return pmlib::modules(query); }));
      },
      "key"_a = py::none(), "value"_a = py::none(), "base_mode"_a = false, "unsupported"_a = false,
      "The installed modules as pmlib.ModuleEntry values (see Installation.find_modules).");
  m.def(
      "architectures",
      [](const std::optional<std::string>& key, const std::optional<std::string>& value,
         bool baseMode, bool configuration) {
        const pmlib::ArchitectureQuery query{key, value, baseMode, configuration};
        return Run(Locks{nullptr, true}, [&] { return pmlib::architectures(query); });
      },
      "key"_a = py::none(), "value"_a = py::none(), "base_mode"_a = false,
      "configuration"_a = false,
      "The installed architectures as \"VENDOR:FAMILY\" (see Installation.find_architectures).");
  m.def(
      "module_folders", [] { return Run(Locks{}, [] { return pmlib::moduleFolders(); }); },
      "Every module folder of every root, whether its definition reads or not.");
  m.def(
      "locate_module",
      [](const std::string& name) {
        return ToPython(Run(Locks{}, [&] { return pmlib::locateModule(name); }));
      },
      "name"_a, "Where the installation keeps module NAME, as a pmlib.ModuleLocation.");
}

}  // namespace
}  // namespace pmpython

PYBIND11_MODULE(_pmlib, m) {
  m.doc() = "The compiled half of pmlib; import pmlib instead.";
  pybind11::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const pmlib::Error& error) {
      pmpython::RaiseError(error);
    }
  });
  pmpython::DefineModule(m);
  pmpython::DefinePart(m);
  pmpython::DefineFunctions(m);
}
