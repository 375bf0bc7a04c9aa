/// @file pmlib/export.h
/// @brief PMLIB_API marks the classes and functions that libpmlib exports.
///
/// libpmlib is built with hidden visibility: only what carries the macro is part of its ABI,
/// and tests/abi/pmlib.symbols lists it (see docs/architecture.md, "The ABI").
#ifndef PMLIB_EXPORT_H
#define PMLIB_EXPORT_H

#if defined(__GNUC__)
#define PMLIB_API __attribute__((visibility("default")))
#else
#define PMLIB_API
#endif

#endif  // PMLIB_EXPORT_H
