/// @file pmport/export.h
/// @brief PMPORT_API marks the classes and functions that libpmport exports.
///
/// libpmport is built with hidden visibility: only what carries the macro is part of its ABI,
/// and tests/abi/pmport.symbols lists it (see docs/architecture.md, "The ABI").
#ifndef PMPORT_EXPORT_H
#define PMPORT_EXPORT_H

#if defined(__GNUC__)
#define PMPORT_API __attribute__((visibility("default")))
#else
#define PMPORT_API
#endif

#endif  // PMPORT_EXPORT_H
