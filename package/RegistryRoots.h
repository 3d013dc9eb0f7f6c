// The predefined registry roots a package's registry values are written
// below: their numbers (the handle values stored in a record's RootKey) and
// their names. The setup program, the uninstaller and makesetup all name
// roots from this one table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace RegistryRoots {

struct TRoot {
    std::string_view Short;  // "HKCU"
    std::string_view Long;   // "HKEY_CURRENT_USER"
    std::uint32_t Value;     // 0x80000001
};

inline constexpr std::array<TRoot, 7> kRoots = {{
    {"HKCR", "HKEY_CLASSES_ROOT", 0x80000000u},
    {"HKCU", "HKEY_CURRENT_USER", 0x80000001u},
    {"HKLM", "HKEY_LOCAL_MACHINE", 0x80000002u},
    {"HKU", "HKEY_USERS", 0x80000003u},
    {"HKPD", "HKEY_PERFORMANCE_DATA", 0x80000004u},
    {"HKCC", "HKEY_CURRENT_CONFIG", 0x80000005u},
    {"HKDD", "HKEY_DYN_DATA", 0x80000006u},
}};

inline constexpr std::uint32_t kClassesRoot = kRoots[0].Value;
inline constexpr std::uint32_t kCurrentUser = kRoots[1].Value;
inline constexpr std::uint32_t kLocalMachine = kRoots[2].Value;
inline constexpr std::uint32_t kUsers = kRoots[3].Value;

// The root's number for a short or long name in any case ("hkcu",
// "HKEY_CURRENT_USER"); 0 when the name is no predefined root's.
std::uint32_t ByName(std::string_view name);

// "HKEY_CURRENT_USER" for 0x80000001; empty when the number is no
// predefined root's.
std::string_view NameOf(std::uint32_t value);

}  // namespace RegistryRoots
