// The library's values as the Python side's types: enum members of pmlib's enum.Enum classes and
// instances of its frozen dataclasses, both defined in pmlib/__init__.py.
#ifndef PMLIB_PYTHON_VALUES_H
#define PMLIB_PYTHON_VALUES_H

#include <pmlib/error.h>
#include <pmlib/installation.h>
#include <pmlib/module.h>
#include <pmlib/part.h>
#include <pybind11/pybind11.h>

namespace pmpython {

namespace py = pybind11;

/// The attribute @p name of the pmlib package (a type the Python side defines).
py::object PackageAttribute(const char* name);

py::object ToPython(pmlib::ModuleType type);
py::object ToPython(pmlib::Level level);
py::object ToPython(pmlib::ErrorKind kind);
py::object ToPython(const Port::Message& message);
py::object ToPython(const pmlib::ModuleEntry& entry);
py::object ToPython(const pmlib::ModuleLocation& location);
py::object ToPython(const pmlib::Device& device);
py::object ToPython(const pmlib::SpeedFlags& flags);

/// Raises pmlib.Error for @p error: its text, ErrorKind and the library's code.
void RaiseError(const pmlib::Error& error);

}  // namespace pmpython

#endif  // PMLIB_PYTHON_VALUES_H
