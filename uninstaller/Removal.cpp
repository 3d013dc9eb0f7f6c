#include "uninstaller/Removal.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "package/DdeInstance.h"
#include "package/ProgManCommands.h"
#include "package/ProgManConversation.h"
#include "package/RegistryRoots.h"
#include "package/UninstallContract.h"
#include "system/Errors.h"
#include "system/Handles.h"
#include "system/uCustomModule.h"
#include "uninstaller/WorkingCopy.h"

namespace {

using UniqueRegKey = UniqueHandle<RegKeyTraits>;

// Wine's and Windows' shells carry out a DDE command asynchronously.
constexpr DWORD kGroupRemovalWait = 5000;
// An executable stays locked for a moment after its process has ended.
constexpr DWORD kInUseWait = 5000;
constexpr std::size_t kNamesShown = 3;

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameText(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The names inside a folder, "." and ".." left out.
std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    UniqueHandle<FindTraits> search(::FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(search.get(), &found));
    return names;
}

std::string StillHolds(const std::vector<std::string>& names) {
    std::string text = "still holds ";
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += (i ? ", " : "") + names[i];
    if (names.size() > kNamesShown) text += " and " + UninstallText::Counted(names.size() - kNamesShown, "more", "more");
    return text;
}

// Registry paths are taken below the root with one leading backslash dropped,
// as the install wrote them.
std::string BelowRoot(const std::string& key) { return !key.empty() && key.front() == '\\' ? key.substr(1) : key; }

UniqueRegKey OpenKey(HKEY root, const std::string& path, REGSAM access) {
    UniqueRegKey key;
    if (::RegOpenKeyExA(root, BelowRoot(path).c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.release();
    return key;
}

bool ValueExists(const TRegistryValueRef& value) {
    const UniqueRegKey key = OpenKey(RootKeyOf(value.RootKey), value.Key, KEY_QUERY_VALUE);
    return key && ::RegQueryValueExA(key.get(), value.ValueName.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                      ERROR_SUCCESS;
}

std::string ReadString(HKEY key, const char* name) {
    char buffer[1024];
    DWORD size = sizeof buffer - 1, type = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    buffer[size] = '\0';
    return buffer;
}

std::string RegistryName(const TRegistryValueRef& value) {
    const std::string_view name = RegistryRoots::NameOf(value.RootKey);
    const std::string root = name.empty() ? "root " + std::to_string(value.RootKey) : std::string(name);
    return root + "\\" + BelowRoot(value.Key) + " \"" + value.ValueName + "\"";
}

// A Program Manager group is a Start Menu folder, for all users or the user.
std::string GroupFolder(const std::string& name) {
    for (const int folder : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        char path[MAX_PATH];
        if (::SHGetFolderPathA(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) continue;
        const std::string candidate = std::string(path) + "\\" + name;
        if (DirExists(candidate)) return candidate;
    }
    return {};
}

// Whether `path` names the file whose long path is `longPath`. Only a path
// with a short (8.3) component can name it in another form, and a generated
// short name holds a "~": other paths are compared as they are, without the
// long form's lookup of every folder on the way.
bool NamesFile(const std::string& path, const std::string& longPath) {
    if (SameText(path, longPath)) return true;
    return path.find('~') != std::string::npos && SameText(LongPath(path), longPath);
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& done) {
    for (DWORD waited = 0;; waited += 100) {
        if (done()) return true;
        if (waited >= milliseconds) return false;
        ::Sleep(100);
    }
}

}  // namespace

TRemoval::TRemoval(const std::string& installDir, const std::string& uninstaller)
    : installDir_(installDir),
      uninstaller_(uninstaller),
      longUninstaller_(LongPath(uninstaller)),
      dataFile_(UninstallContract::DataFileIn(installDir)),
      earlierDataFile_(UninstallContract::EarlierDataFileIn(installDir)) {}

TUninstallPlan TRemoval::WhatIsLeft(const TUninstallPlan& plan) const {
    TUninstallPlan left = plan;
    // The uninstaller and its data file go last, by RemoveOwnFiles; alone they
    // are no reason to run.
    std::erase_if(left.FilesToRemove, [&](const std::string& path) {
        return !FileExists(path) || NamesFile(path, longUninstaller_) || SameText(path, dataFile_) ||
               SameText(path, earlierDataFile_);
    });
    std::erase_if(left.FoldersToRemove, [](const std::string& path) { return !DirExists(path); });
    std::erase_if(left.GroupsToDelete, [](const std::string& name) { return GroupFolder(name).empty(); });
    std::erase_if(left.RegistryValues, [](const TRegistryValueRef& value) { return !ValueExists(value); });
    if (!left.RegistrationKey.empty() && !RegistrationIsOurs(left.RegistrationKey)) left.RegistrationKey.clear();
    return left;
}

bool TRemoval::NothingToDo(const TUninstallPlan& left) {
    return left.FilesToRemove.empty() && left.GroupsToDelete.empty() && left.RegistryValues.empty() &&
           left.RegistrationKey.empty() &&
           std::none_of(left.FoldersToRemove.begin(), left.FoldersToRemove.end(),
                        [](const std::string& folder) { return FolderContents(folder).empty(); });
}

int TRemoval::StepCount(const TUninstallPlan& plan) {
    return static_cast<int>(plan.FilesToRemove.size() + plan.FoldersToRemove.size() + plan.GroupsToDelete.size() +
                            plan.RegistryValues.size()) +
           (plan.RegistrationKey.empty() ? 0 : 1);
}

TRemovalReport TRemoval::Run(const TUninstallPlan& plan, const TRemovalProgress& progress) {
    TRemovalReport report;
    for (const std::string& file : plan.FilesToRemove) {
        progress("Remove file " + file);
        RemoveFile(file, report);
    }
    for (const std::string& folder : plan.FoldersToRemove) {
        progress("Remove folder " + folder);
        RemoveFolder(folder, report);
    }
    for (const std::string& group : plan.GroupsToDelete) {
        progress("Remove group " + group);
        RemoveGroup(group, report);
    }
    for (const TRegistryValueRef& value : plan.RegistryValues) {
        progress("Remove registry value " + RegistryName(value));
        RemoveValue(value, report);
    }
    if (!plan.RegistrationKey.empty()) {
        progress("Remove the uninstall registration");
        RemoveRegistration(plan.RegistrationKey, report);
    }
    for (const std::string& file : plan.SharedFilesLeft)
        report.Left.push_back(UninstallText::LeftLine(file, "in a system folder: other programs may use it"));
    for (const std::string& file : plan.OtherFilesLeft)
        report.Left.push_back(UninstallText::LeftLine(file, "outside the install folder"));
    for (const std::string& setting : plan.SettingsLeft)
        report.Left.push_back(UninstallText::LeftLine(setting, "desktop settings are left as they are"));
    return report;
}

void TRemoval::RemoveOwnFiles(TRemovalReport& report, bool uninstallerRuns, bool originalWaits) {
    for (const std::string* file : {&dataFile_, &earlierDataFile_})
        if (FileExists(*file)) RemoveFile(*file, report);
    // The original waiting for this copy cannot be deleted; it can be moved
    // out of the folder, else it stays until Windows next starts.
    if (originalWaits && FileExists(uninstaller_) && !::DeleteFileA(uninstaller_.c_str()) &&
        !MoveAwayAndRemoveAtRestart(uninstaller_))
        uninstallerRuns = true;
    if (uninstallerRuns) {
        // Deleted when Windows next starts, the folder after it when that is
        // all it holds.
        report.AtRestart = true;
        const auto contents = FolderContents(installDir_);
        if (RemoveAtRestart(uninstaller_) && contents.size() == 1 && SameText(installDir_ + "\\" + contents[0], uninstaller_))
            RemoveAtRestart(installDir_);
        else if (contents.size() > 1)
            ReportFolderLeft(installDir_, report);
        return;
    }
    if (FileExists(uninstaller_)) RemoveFile(uninstaller_, report, true);
    if (!DirExists(installDir_)) return;
    if (::RemoveDirectoryA(installDir_.c_str())) return;
    ReportFolderLeft(installDir_, report);
}

void TRemoval::RemoveFile(const std::string& path, TRemovalReport& report, bool retryWhileInUse) {
    auto remove = [&] {
        if (::DeleteFileA(path.c_str())) return true;
        // A read-only file the package installed is still the package's.
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
               ::SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) && ::DeleteFileA(path.c_str());
    };
    if (remove() || (retryWhileInUse && WaitUntil(kInUseWait, remove))) {
        ++report.FilesRemoved;
        return;
    }
    ++report.Failed;
    report.Left.push_back(UninstallText::LeftLine(path, LastSystemErrorText()));
}

void TRemoval::RemoveFolder(const std::string& path, TRemovalReport& report) {
    if (!DirExists(path)) return;
    if (::RemoveDirectoryA(path.c_str())) {
        ++report.FoldersRemoved;
        return;
    }
    ReportFolderLeft(path, report);
}

// A folder that stays only because of a subfolder that stays is explained by
// that subfolder's line.
void TRemoval::ReportFolderLeft(const std::string& path, TRemovalReport& report) {
    const std::string reason = LastSystemErrorText();
    auto contents = FolderContents(path);
    leftFolders_.push_back(path);
    std::erase_if(contents, [&](const std::string& name) {
        return std::any_of(leftFolders_.begin(), leftFolders_.end(),
                           [&](const std::string& left) { return SameText(left, path + "\\" + name); });
    });
    if (contents.empty() && FolderContents(path).size() > 0) return;
    if (contents.empty()) ++report.Failed;  // nothing of the user's keeps it
    report.Left.push_back(UninstallText::LeftLine(path, contents.empty() ? reason : StillHolds(contents)));
}

void TRemoval::RemoveGroup(const std::string& name, TRemovalReport& report) {
    const std::string folder = GroupFolder(name);
    if (folder.empty()) return;
    TProgManConversation progMan;
    if (progMan.Open() && progMan.Execute(ProgManCommands::DeleteGroup(name)) &&
        WaitUntil(kGroupRemovalWait, [&] { return !DirExists(folder); })) {
        ++report.GroupsRemoved;
        return;
    }
    ++report.Failed;
    report.Left.push_back(UninstallText::LeftLine("Start Menu group \"" + name + "\"",
                                                  "the Program Manager did not remove it"));
}

void TRemoval::RemoveValue(const TRegistryValueRef& value, TRemovalReport& report) {
    const HKEY root = RootKeyOf(value.RootKey);
    {
        const UniqueRegKey key = OpenKey(root, value.Key, KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (!key || ::RegDeleteValueA(key.get(), value.ValueName.c_str()) != ERROR_SUCCESS) {
            ++report.Failed;
            report.Left.push_back(UninstallText::LeftLine(RegistryName(value), "could not be removed"));
            return;
        }
        ++report.ValuesRemoved;
        DWORD subKeys = 1, values = 1;
        if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subKeys != 0 || values != 0)
            return;
    }
    // The install created the key when it was missing; an empty one goes too.
    ::RegDeleteKeyA(root, BelowRoot(value.Key).c_str());
}

bool TRemoval::RegistrationIsOurs(const std::string& key) const {
    using namespace UninstallContract;
    const UniqueRegKey registration = OpenKey(RootKeyOf(kRegistrationRoot), key, KEY_QUERY_VALUE);
    if (!registration) return false;
    // The same name installed again elsewhere registers the other copy.
    const std::string uninstallString = ReadString(registration.get(), kUninstallStringValue.data());
    return uninstallString.empty() || SameText(LongPath(uninstallString), longUninstaller_);
}

void TRemoval::RemoveRegistration(const std::string& key, TRemovalReport& report) {
    using namespace UninstallContract;
    if (::RegDeleteKeyA(RootKeyOf(kRegistrationRoot), BelowRoot(key).c_str()) == ERROR_SUCCESS) {
        report.RegistrationRemoved = true;
        return;
    }
    ++report.Failed;
    report.Left.push_back(UninstallText::LeftLine(std::string(RegistryRoots::NameOf(kRegistrationRoot)) + "\\" +
                                                      BelowRoot(key),
                                                  "the uninstall registration could not be removed"));
}
