/// @file pmlib/export.h
/// @brief PMLIB_API marks the classes and functions that libpmlib exports.
///
/// Symbols are default-visible today; the macro lets the library be built with hidden
/// visibility without touching the declarations again.
#ifndef PMLIB_EXPORT_H
#define PMLIB_EXPORT_H

#if defined(__GNUC__)
#define PMLIB_API __attribute__((visibility("default")))
#else
#define PMLIB_API
#endif

#endif  // PMLIB_EXPORT_H
