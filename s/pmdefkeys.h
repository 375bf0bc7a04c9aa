// The keys of definition files the library reads: one table, so that the library's code, the
// modern API (pmlib::definitionKeys) and pmtool check's spelling check all name the same keys.
#ifndef PM_DEFKEYS_H
#define PM_DEFKEYS_H

namespace PersonalityModule {
namespace Keys {

inline constexpr char kArchName[] = "ARCH_NAME";
inline constexpr char kArchFriend[] = "ARCH_FRIEND";
inline constexpr char kArchType[] = "ARCH_TYPE";
inline constexpr char kVendor[] = "VENDOR";
inline constexpr char kFamily[] = "FAMILY";
inline constexpr char kSupportMode[] = "SUPPORT_MODE";
inline constexpr char kBaseMode[] = "BASE_MODE";
inline constexpr char kPartNameChar[] = "PARTNAMECHAR";
inline constexpr char kPmPrefix[] = "PMPREFIX";
inline constexpr char kDeviceInternal[] = "DEVICE_INTERNAL";
inline constexpr char kTestDeviceInternal[] = "TEST_DEVICE_INTERNAL";
inline constexpr char kDeviceFormat[] = "DEVICE_FORMAT";
inline constexpr char kAltDeviceFormat[] = "ALT_DEVICE_FORMAT";
inline constexpr char kSpeedFormat[] = "SPEED_FORMAT";
inline constexpr char kSubfamFormat[] = "SUBFAM_FORMAT";
inline constexpr char kSubfamSpecs[] = "SUBFAM_SPECS";
inline constexpr char kSubfamNames[] = "SUBFAM_NAMES";
inline constexpr char kRanges[] = "RANGES";
inline constexpr char kDisallowSpeeds[] = "DISALLOW_SPEEDS";
// Library dependency files (lib<name>.acd) have this one key.
inline constexpr char kDepend[] = "DEPEND";

// Key families: a prefix and a name of the author's choosing (VENTRY_<function>,
// VENTRY_<PLATFORM>_<function>, ALIAS_<ARCH_NAME>).
inline constexpr char kVentryPrefix[] = "VENTRY_";
inline constexpr char kAliasPrefix[] = "ALIAS_";

inline constexpr const char* kDefinitionKeys[] = {
    kArchName,           kArchFriend,   kArchType,        kVendor,        kFamily,
    kSupportMode,        kBaseMode,     kPartNameChar,    kPmPrefix,      kDeviceInternal,
    kTestDeviceInternal, kDeviceFormat, kAltDeviceFormat, kSpeedFormat,   kSubfamFormat,
    kSubfamSpecs,        kSubfamNames,  kRanges,          kDisallowSpeeds};

inline constexpr const char* kDefinitionKeyPrefixes[] = {kVentryPrefix, kAliasPrefix};

}  // namespace Keys
}  // namespace PersonalityModule

#endif  // PM_DEFKEYS_H
