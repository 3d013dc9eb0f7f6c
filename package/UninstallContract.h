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
// The setup program writes these two itself.
inline constexpr std::string_view kDisplayNameValue = "DisplayName";
inline constexpr std::string_view kUninstallStringValue = "UninstallString";
// makesetup adds these to a package's registry table, below the same key.
inline constexpr std::string_view kDisplayVersionValue = "DisplayVersion";
inline constexpr std::string_view kPublisherValue = "Publisher";
inline constexpr std::string_view kUrlInfoAboutValue = "URLInfoAbout";
inline constexpr std::string_view kInstallLocationValue = "InstallLocation";
inline constexpr std::string_view kDisplayIconValue = "DisplayIcon";
inline constexpr std::string_view kHelpLinkValue = "HelpLink";

// In the install folder.
inline constexpr std::string_view kUninstallerName = "Uninstall.exe";
inline constexpr std::string_view kDataFileName = "uninstall001.dat";
// The records of the earlier installs of the same application into the same
// folder (an upgrade in place replaces the data file), in the data file's
// layout; the uninstaller removes what both name.
inline constexpr std::string_view kEarlierDataFileName = "uninstall-history.dat";

// The Programs and Features values an unattended removal needs. A package
// asks for them with a registry record of this name and exactly this text
// below its own registration key (makesetup writes it for the companion
// uninstaller); the setup program then writes QuietUninstallString as its
// UninstallString plus " /S", and EstimatedSize, NoModify and NoRepair.
inline constexpr std::string_view kQuietUninstallStringValue = "QuietUninstallString";
inline constexpr std::string_view kQuietUninstallRequest = "{InstallDir}\\Uninstall.exe /S";
inline constexpr std::string_view kSilentSwitch = " /S";
inline constexpr std::string_view kEstimatedSizeValue = "EstimatedSize";
inline constexpr std::string_view kNoModifyValue = "NoModify";
inline constexpr std::string_view kNoRepairValue = "NoRepair";

// The application's registration key, below the root.
inline std::string RegistrationKeyOf(std::string_view appName) {
    return std::string(kRegistrationParent) + '\\' + std::string(appName);
}

// The data file of an install folder (given without a trailing backslash).
inline std::string DataFileIn(std::string_view installDir) {
    return std::string(installDir) + '\\' + std::string(kDataFileName);
}
inline std::string EarlierDataFileIn(std::string_view installDir) {
    return std::string(installDir) + '\\' + std::string(kEarlierDataFileName);
}

}  // namespace UninstallContract
