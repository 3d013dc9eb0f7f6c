// What the setup program leaves behind for the uninstaller to find: the
// uninstall registration below HKEY_LOCAL_MACHINE, the uninstaller's name in
// the install folder and the data file beside it. The writer and the remover
// both take these names from here, so they cannot drift apart.
#pragma once

#include <string>
#include <string_view>

#include "package/RegistryRoots.h"

namespace UninstallContract {

// The registration is the key named after the application below this one.
inline constexpr std::uint32_t kRegistrationRoot = RegistryRoots::kLocalMachine;
inline constexpr std::string_view kRegistrationParent = "software\\microsoft\\windows\\currentversion\\uninstall";
inline constexpr std::string_view kDisplayNameValue = "DisplayName";
inline constexpr std::string_view kUninstallStringValue = "UninstallString";

// In the install folder.
inline constexpr std::string_view kUninstallerName = "Uninstall.exe";
inline constexpr std::string_view kDataFileName = "uninstall001.dat";

// The application's registration key, below the root.
inline std::string RegistrationKeyOf(std::string_view appName) {
    return std::string(kRegistrationParent) + '\\' + std::string(appName);
}

// The data file of an install folder (given without a trailing backslash).
inline std::string DataFileIn(std::string_view installDir) {
    return std::string(installDir) + '\\' + std::string(kDataFileName);
}

}  // namespace UninstallContract
