#include "uninstaller/UninstallPlan.h"

#include <algorithm>

#include "package/UninstallContract.h"
#include "system/SystemRules.h"

using namespace RecordHead;

namespace {

// The path's components, split at real backslashes (not second bytes of
// double-byte characters); empty components from doubled separators dropped.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && IsAnsiLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (i > start) parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

template <typename Container>
void AddUnique(Container& list, const std::string& value) {
    if (std::none_of(list.begin(), list.end(), [&](const std::string& s) { return SameText(s, value); }))
        list.push_back(value);
}

// Every folder from the install folder's child down to `dir`.
std::vector<std::string> FolderChain(const std::string& installDir, const std::string& dir) {
    std::vector<std::string> chain;
    std::string current = installDir;
    const auto below = Components(dir).size() - Components(installDir).size();
    const auto parts = Components(dir);
    for (std::size_t i = parts.size() - below; i < parts.size(); ++i) {
        current += '\\';
        current += parts[i];
        chain.push_back(current);
    }
    return chain;
}

std::size_t Depth(const std::string& path) { return Components(path).size(); }

}  // namespace

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    const auto p = Components(path), f = Components(folder);
    if (f.empty() || p.size() <= f.size()) return false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] == "." || p[i] == "..") return false;
        if (i < f.size() && !SameText(p[i], f[i])) return false;
    }
    return true;
}

TUninstallPlan PlanUninstall(PackageTablesView tables, std::string_view appName, const TBaseFolders& folders,
                             TLeadByteTest isLeadByte) {
    TUninstallPlan plan;
    for (const TFileItem& file : tables.Files) {
        const std::string base = file.BaseDir.Text();
        const std::string path = ResolvePathIn(folders, base, file.SubDir.Text(), file.FileName.Text());
        if (base == kInstallDir && IsInsideFolder(path, folders.InstallDir))
            AddUnique(plan.FilesToRemove, path);
        else if (base == kWindowsDir || base == kSystem32Dir)
            AddUnique(plan.SharedFilesLeft, path);
        else
            AddUnique(plan.OtherFilesLeft, path);
    }

    for (const TDirItem& dirItem : tables.Dirs) {
        if (dirItem.BaseDir.Text() != kInstallDir) continue;
        const std::string dir = ResolveDirIn(folders, kInstallDir, dirItem.SubDir.Text());
        if (!IsInsideFolder(dir, folders.InstallDir)) continue;
        for (const std::string& level : FolderChain(folders.InstallDir, dir)) AddUnique(plan.FoldersToRemove, level);
    }
    std::stable_sort(plan.FoldersToRemove.begin(), plan.FoldersToRemove.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });

    for (const TShellItem& item : tables.ShellItems) {
        const std::string target =
            ResolvePathIn(folders, item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text());
        if (item.Kind == skCreateGroup && !item.Caption.Text().empty()) AddUnique(plan.GroupsToDelete, item.Caption.Text());
        if (item.Kind == skScreenSaver) plan.SettingsLeft.push_back("screen saver: " + target);
        if (item.Kind == skWallpaper) plan.SettingsLeft.push_back("wallpaper: " + target);
    }

    for (const TRegItem& reg : tables.RegItems) {
        TRegistryValueRef ref{reg.RootKey.Get(), reg.Key.Text(), reg.ValueName.Text()};
        const bool seen = std::any_of(plan.RegistryValues.begin(), plan.RegistryValues.end(), [&](const auto& r) {
            return r.RootKey == ref.RootKey && SameText(r.Key, ref.Key) && SameText(r.ValueName, ref.ValueName);
        });
        if (!seen) plan.RegistryValues.push_back(std::move(ref));
    }

    // The registration is one key below the registrations' parent; a name that is empty or
    // holds a separator would name that key itself or another program's.
    if (!appName.empty() && FindLastOf(appName, "\\/", isLeadByte) == std::string_view::npos && appName != "." &&
        appName != "..")
        plan.RegistrationKey = UninstallContract::RegistrationKeyOf(appName);
    // Values the package writes into its own registration (the Programs and
    // Features entry) go with the key, and only when the key is this copy's.
    if (!plan.RegistrationKey.empty())
        std::erase_if(plan.RegistryValues, [&](const TRegistryValueRef& value) {
            const std::string_view key = value.Key.starts_with('\\') ? std::string_view(value.Key).substr(1)
                                                                     : std::string_view(value.Key);
            return value.RootKey == UninstallContract::kRegistrationRoot && SameText(key, plan.RegistrationKey);
        });
    return plan;
}
