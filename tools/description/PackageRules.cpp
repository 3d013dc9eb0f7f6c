#include "tools/description/PackageRules.h"

#include <algorithm>
#include <map>
#include <set>

#include "package/PackageWriter.h"
#include "package/UninstallContract.h"
#include "tools/description/PackagePaths.h"

using namespace RecordHead;
namespace PP = PackagePaths;

namespace PackageRules {

namespace {

std::string FolderKey(std::string_view base, std::string_view sub, unsigned codePage) {
    return std::string(base) + '|' + PP::Folded(sub, codePage);
}

}  // namespace

void PlanFolders(const TPackageFacts& facts, TPackagePlan& plan, TDiagnostics& out) {
    std::set<std::string> exists = {FolderKey(kWindowsDir, "", facts.AnsiCodePage), FolderKey(kSystem32Dir, "", facts.AnsiCodePage)};
    auto create = [&](const std::string& base, const std::string& sub) {
        for (const std::string& level : PP::SelfAndAncestors(sub, facts.AnsiCodePage)) exists.insert(FolderKey(base, level, facts.AnsiCodePage));
    };
    for (const TFolderEntry& folder : facts.Folders) create(folder.Base, folder.Sub);
    std::vector<TDirItem> implied;
    for (const TPlannedFile& file : plan.Files) {
        const std::string base = file.Record.BaseDir.Text(), sub = file.Record.SubDir.Text();
        if (exists.count(FolderKey(base, sub, facts.AnsiCodePage))) continue;
        if (facts.AutoFolders) {
            implied.push_back(MakeDirItem(base, sub));
            create(base, sub);
        } else {
            out.Error(file.FolderWhere, "target folder " + PP::Join(base, sub) + " is not created: the setup program "
                                        "creates no folders while copying; add a [[folder]] for it, or set "
                                        "auto_folders = true");
        }
    }
    const bool installFolder = exists.count(FolderKey(kInstallDir, "", facts.AnsiCodePage)) > 0;
    if (!installFolder && !facts.AutoFolders)
        out.Error(facts.PackageAt, "no [[folder]] creates the install folder, where the setup program writes \"" +
                                       std::string(UninstallContract::kDataFileName) +
                                       "\"; add one with path = \"\"");
    if (!installFolder && facts.AutoFolders) plan.Dirs.push_back(MakeDirItem(kInstallDir, ""));
    for (const TFolderEntry& folder : facts.Folders) plan.Dirs.push_back(MakeDirItem(folder.Base, folder.Sub));
    plan.Dirs.insert(plan.Dirs.end(), implied.begin(), implied.end());
}

void CheckTargets(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out) {
    std::map<std::string, std::uint32_t> seen;
    bool uninstaller = false;
    for (const TPlannedFile& file : plan.Files) {
        const std::string base = file.Record.BaseDir.Text(), sub = file.Record.SubDir.Text(),
                          name = file.Record.FileName.Text();
        uninstaller |= base == kInstallDir && sub.empty() &&
                       PP::SameName(name, UninstallContract::kUninstallerName, facts.AnsiCodePage);
        const auto [it, fresh] = seen.emplace(FolderKey(base, PP::Join(sub, name), facts.AnsiCodePage), file.Where.Line);
        if (!fresh)
            out.Warning(file.Where, "target " + PP::Join(PP::Join(base, sub), name) + " is also written by line " +
                                        std::to_string(it->second) + "; the later file replaces the earlier");
    }
    if (!uninstaller && !facts.UninstallerAsked && !out.HasErrors())
        out.Warning(facts.PackageAt, "no \"" + std::string(UninstallContract::kUninstallerName) +
                                         "\" in the install folder: the uninstall registration points at one");
}

void CheckShellTargets(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out) {
    for (const TShellTarget& shell : facts.ShellTargets) {
        if (shell.Base != kInstallDir) continue;
        const bool packed = std::any_of(plan.Files.begin(), plan.Files.end(), [&](const TPlannedFile& f) {
            return f.Record.BaseDir.Text() == kInstallDir && PP::SameName(f.Record.SubDir.Text(), shell.Sub, facts.AnsiCodePage) &&
                   PP::SameName(f.Record.FileName.Text(), shell.Name, facts.AnsiCodePage);
        });
        if (!packed)
            out.Warning(shell.Where, "target " + PP::Join(PP::Join(kInstallDir, shell.Sub), shell.Name) +
                                         " is not one of the package's files");
    }
}

void CheckLayout(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out) {
    std::uint64_t position = plan.StubSize;
    for (const TPlannedFile& file : plan.Files) {
        if (position > kMaxPackageOffset) {
            out.Error(file.Where, "the data of " + Quoted(file.Source) + " would start at byte " +
                                      std::to_string(position) + ", beyond the 4 GiB that the package's 32-bit "
                                                                 "offsets reach");
            return;
        }
        position += file.Size;
    }
    // The writer puts the tables after the data, each at a 32-bit offset of its own.
    const struct {
        const char* Name;
        std::uint64_t Size;
    } tables[] = {{"file table", plan.Files.size() * sizeof(TFileItem)},
                  {"directory table", plan.Dirs.size() * sizeof(TDirItem)},
                  {"shell-item table", plan.ShellItems.size() * sizeof(TShellItem)},
                  {"registry table", plan.RegItems.size() * sizeof(TRegItem)}};
    for (const auto& table : tables) {
        if (position > kMaxPackageOffset) {
            out.Error(facts.PackageAt, std::string("the ") + table.Name + " would start at byte " +
                                           std::to_string(position) +
                                           ", beyond the 4 GiB that the package's 32-bit offsets reach");
            return;
        }
        position += table.Size;
    }
}

void Apply(const TPackageFacts& facts, TPackagePlan& plan, TDiagnostics& out) {
    PlanFolders(facts, plan, out);
    CheckTargets(facts, plan, out);
    // After an error (a misspelt table, a missing source) the files read
    // are not all the package's: that a target is not among them is noise.
    if (!out.HasErrors()) CheckShellTargets(facts, plan, out);
    CheckLayout(facts, plan, out);
}

}  // namespace PackageRules
