// The rules about a package as a whole rather than one of its entries: the
// folders the setup program must create, the companion uninstaller, what the
// shell items point at, and that every offset fits in 32 bits. They work on
// the plan's plain records, so they need no description file.
#pragma once

#include <string>
#include <vector>

#include "tools/description/Diagnostics.h"
#include "tools/description/PackagePlan.h"
#include "tools/platform/CodePage.h"

// A [[folder]] entry: a folder to create with every missing parent.
struct TFolderEntry {
    std::string Base, Sub;
    TLocation Where;
};

// The file a shell item (other than a group) starts or shows.
struct TShellTarget {
    std::string Base, Sub, Name;
    TLocation Where;
};

// What the rules need beyond the plan itself.
struct TPackageFacts {
    TLocation PackageAt;  // where messages about the whole package point
    bool AutoFolders = true;
    unsigned AnsiCodePage = ::CodePage::kDefault;  // the package's texts: double-byte aware folder rules
    std::vector<TFolderEntry> Folders;  // in the order written
    std::vector<TShellTarget> ShellTargets;
    bool UninstallerAsked = false;  // the companion was added, or asked for (an error says where it is missing)
};

namespace PackageRules {

// Fills plan.Dirs: the install folder first when nothing else creates it,
// then the [[folder]] entries, then (with AutoFolders) the folders the files
// need. Without AutoFolders, a file in a folder nothing creates is an error.
void PlanFolders(const TPackageFacts& facts, TPackagePlan& plan, TDiagnostics& out);
// Warns when two files have one target, and when no Uninstall.exe lands in
// the install folder (the uninstall registration points at one).
void CheckTargets(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out);
// Warns about shell targets in the install folder that no file of the package is.
void CheckShellTargets(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out);
// An error when a file's data or the tables would start past 4 GiB.
void CheckLayout(const TPackageFacts& facts, const TPackagePlan& plan, TDiagnostics& out);

// All of the above, in that order.
void Apply(const TPackageFacts& facts, TPackagePlan& plan, TDiagnostics& out);

}  // namespace PackageRules
