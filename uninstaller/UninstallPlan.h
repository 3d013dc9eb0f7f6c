// What an uninstall removes and what it leaves, worked out from the tables
// of the uninstall data file and the install folder before anything is touched.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageTables.h"
#include "package/PathRules.h"
#include "system/SystemRules.h"

struct TRegistryValueRef {
    std::uint32_t RootKey = 0;
    std::string Key;
    std::string ValueName;
};

struct TUninstallPlan {
    std::vector<std::string> FilesToRemove;     // resolved into the install folder
    std::vector<std::string> SharedFilesLeft;   // in the Windows or system folder: other programs may use them
    std::vector<std::string> OtherFilesLeft;    // anywhere else, or leaving the install folder through ".."
    std::vector<std::string> FoldersToRemove;   // below the install folder, innermost first; removed only when empty
    std::vector<std::string> GroupsToDelete;    // Program Manager groups the package created
    std::vector<TRegistryValueRef> RegistryValues;
    std::string RegistrationKey;                // below HKEY_LOCAL_MACHINE; empty when the name cannot be trusted
    std::vector<std::string> SettingsLeft;      // screen saver and wallpaper, as "screen saver: path"

    bool Empty() const {
        return FilesToRemove.empty() && FoldersToRemove.empty() && GroupsToDelete.empty() &&
               RegistryValues.empty() && RegistrationKey.empty();
    }
};

// `folders.InstallDir` is the folder the uninstaller runs from (the data file
// does not record it).
// `isLeadByte` tells the double-byte characters of the system's code page,
// whose second byte may be 0x5C without being a separator.
TUninstallPlan PlanUninstall(PackageTablesView tables, std::string_view appName, const TBaseFolders& folders,
                             TLeadByteTest isLeadByte = IsAnsiLeadByte);

// True when `path` lies strictly inside `folder`: compared without regard to
// ASCII case, component by component, with no "." or ".." component.
bool IsInsideFolder(std::string_view path, std::string_view folder);
