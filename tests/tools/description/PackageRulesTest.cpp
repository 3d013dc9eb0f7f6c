#include "tools/description/PackageRules.h"

#include <gtest/gtest.h>

#include "package/PackageWriter.h"
#include "tests/tools/ToolTestFiles.h"

using namespace RecordHead;

namespace {

// A package put together from records, as the description would leave it;
// each entry's line is its place in the list, from 10 on.
class PackageRulesTest : public ::testing::Test {
protected:
    PackageRulesTest() { facts.PackageAt = {"p.toml", 1}; }

    void File(const std::string& base, const std::string& sub, const std::string& name, std::uint64_t size = 1) {
        TPlannedFile file;
        file.Source = "src/" + name;
        file.Size = size;
        file.Record = MakeFileItem(name, base, sub, 0, static_cast<std::uint32_t>(size));
        file.Where = file.FolderWhere = Next();
        plan.Files.push_back(file);
    }
    void Folder(const std::string& base, const std::string& sub) { facts.Folders.push_back({base, sub, Next()}); }
    void Target(const std::string& base, const std::string& sub, const std::string& name) {
        facts.ShellTargets.push_back({base, sub, name, Next()});
    }
    TLocation Next() { return {"p.toml", line++}; }

    std::string Dirs() const {
        std::string text;
        for (const TDirItem& d : plan.Dirs) text += d.BaseDir.Text() + "|" + d.SubDir.Text() + " ";
        return text;
    }

    TPackagePlan plan;
    TPackageFacts facts;
    TDiagnostics out;
    std::uint32_t line = 10;
};

// A folder is created with every missing parent, so a folder covers its
// ancestors, the install folder among them.
TEST_F(PackageRulesTest, EntriesComeFirstThenTheFoldersTheFilesNeedThatNothingCovers) {
    Folder("WindowsDir", "Fonts\\Demo");
    File("InstallDir", "a\\b", "x.txt");
    File("InstallDir", "a", "y.txt");       // "a" exists as the parent of "a\b"
    File("WindowsDir", "Fonts", "z.ttf");   // so does WindowsDir\Fonts
    File("InstallDir", "A\\B", "w.txt");    // folders compare without case
    File("System32Dir", "", "s.scr");       // the system's folders exist
    PackageRules::PlanFolders(facts, plan, out);
    EXPECT_TRUE(out.Items().empty()) << ErrorsOf(out);
    EXPECT_EQ(Dirs(), "WindowsDir|Fonts\\Demo InstallDir|a\\b ");
}

TEST_F(PackageRulesTest, TheInstallFolderIsAddedFirstWhenNothingElseCreatesIt) {
    Folder("WindowsDir", "Demo");
    File("System32Dir", "", "s.scr");
    PackageRules::PlanFolders(facts, plan, out);
    EXPECT_TRUE(out.Items().empty()) << ErrorsOf(out);
    EXPECT_EQ(Dirs(), "InstallDir| WindowsDir|Demo ");  // the uninstall data file goes there
}

TEST_F(PackageRulesTest, AnEntryForTheInstallFolderOrBelowItTakesThePlaceOfTheAddedOne) {
    Folder("InstallDir", "data\\cache");
    File("InstallDir", "", "Uninstall.exe");
    File("InstallDir", "data", "d.bin");
    PackageRules::PlanFolders(facts, plan, out);
    EXPECT_EQ(Dirs(), "InstallDir|data\\cache ");
}

TEST_F(PackageRulesTest, WithoutAutoFoldersEveryTargetFolderAndTheInstallFolderNeedAnEntry) {
    facts.AutoFolders = false;
    Folder("InstallDir", "data");
    File("InstallDir", "data", "in.txt");  // line 11
    File("InstallDir", "", "root.txt");    // line 12: the install folder exists as data's parent
    File("InstallDir", "other", "o.txt");  // line 13
    File("WindowsDir", "Demo", "w.txt");   // line 14
    PackageRules::PlanFolders(facts, plan, out);
    EXPECT_TRUE(Reports(out, true, 13, "target folder InstallDir\\other is not created")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 14, "target folder WindowsDir\\Demo is not created")) << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 2u) << ErrorsOf(out);
    EXPECT_EQ(Dirs(), "InstallDir|data ");  // nothing added
}

TEST_F(PackageRulesTest, WithoutAutoFoldersTheInstallFolderItselfNeedsAnEntry) {
    facts.AutoFolders = false;
    Folder("WindowsDir", "Demo");
    PackageRules::PlanFolders(facts, plan, out);
    EXPECT_TRUE(Reports(out, true, 1, "no [[folder]] creates the install folder")) << ErrorsOf(out);
    EXPECT_EQ(Dirs(), "WindowsDir|Demo ");
}

TEST_F(PackageRulesTest, ALaterFileWithTheSameTargetIsNamedWithTheEarlierLine) {
    File("InstallDir", "Help", "Read.me");   // line 10
    File("InstallDir", "help", "READ.ME");   // line 11: the same file on Windows
    File("WindowsDir", "help", "read.me");   // line 12: another base
    File("InstallDir", "", "Uninstall.exe");
    PackageRules::CheckTargets(facts, plan, out);
    EXPECT_TRUE(Reports(out, false, 11, "also written by line 10")) << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 1u) << ErrorsOf(out);
}

TEST_F(PackageRulesTest, TheUninstallerWarningNeedsNoneInTheInstallFolderAndNoneAskedFor) {
    File("InstallDir", "bin", "Uninstall.exe");  // not where the registration points
    PackageRules::CheckTargets(facts, plan, out);
    EXPECT_TRUE(Reports(out, false, 1, "no \"Uninstall.exe\" in the install folder")) << ErrorsOf(out);

    TDiagnostics asked;
    facts.UninstallerAsked = true;
    PackageRules::CheckTargets(facts, plan, asked);
    EXPECT_TRUE(asked.Items().empty()) << ErrorsOf(asked);

    TDiagnostics present;
    facts.UninstallerAsked = false;
    File("InstallDir", "", "UNINSTALL.EXE");
    PackageRules::CheckTargets(facts, plan, present);
    EXPECT_TRUE(present.Items().empty()) << ErrorsOf(present);
}

TEST_F(PackageRulesTest, ShellTargetsInTheInstallFolderMustBeThePackagesFiles) {
    File("InstallDir", "bin", "Demo.exe");
    Target("InstallDir", "BIN", "demo.EXE");    // line 11: found without case
    Target("InstallDir", "", "Demo.exe");       // line 12: not in that folder
    Target("System32Dir", "", "demo.scr");      // line 13: outside the package's reach
    PackageRules::CheckShellTargets(facts, plan, out);
    EXPECT_TRUE(Reports(out, false, 12, "target InstallDir\\Demo.exe is not one of the package's files"))
        << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 1u) << ErrorsOf(out);
}

TEST_F(PackageRulesTest, DataMayStartAtTheLast32BitOffsetButNotBeyond) {
    plan.StubSize = 0x80000000u;
    File("InstallDir", "", "a.bin", 0x7FFFFFFFu);  // line 10: the next starts at 0xFFFFFFFF
    File("InstallDir", "", "b.bin", 1);            // line 11: starts at 0xFFFFFFFF, fine
    PackageRules::CheckLayout(facts, plan, out);
    EXPECT_TRUE(Reports(out, true, 1, "the file table would start at byte 4294967296")) << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 1u) << ErrorsOf(out);

    TDiagnostics beyond;
    File("InstallDir", "", "c.bin", 1);  // line 12: would start at 0x100000000
    File("InstallDir", "", "d.bin", 1);
    PackageRules::CheckLayout(facts, plan, beyond);
    EXPECT_TRUE(Reports(beyond, true, 12, "the data of \"src/c.bin\" would start at byte 4294967296")) << ErrorsOf(beyond);
    EXPECT_EQ(beyond.Items().size(), 1u) << "one error for the first file past the limit: " << ErrorsOf(beyond);

    // The data ends in time, but a table after the file table would start
    // too late: once found only after 4 GiB were written.
    TDiagnostics tables;
    plan.Files.resize(1);
    plan.StubSize = 0;
    plan.Files[0].Size = kMaxPackageOffset - sizeof(RecordHead::TFileItem) + 1;
    plan.Dirs.resize(1);
    PackageRules::CheckLayout(facts, plan, tables);
    EXPECT_TRUE(Reports(tables, true, 1, "the directory table would start at byte 4294967296")) << ErrorsOf(tables);
}

TEST_F(PackageRulesTest, ApplyFillsTheFoldersAndRunsEveryCheck) {
    File("InstallDir", "x", "a.txt");
    File("InstallDir", "x", "a.txt");
    Target("InstallDir", "", "gone.exe");
    PackageRules::Apply(facts, plan, out);
    EXPECT_EQ(Dirs(), "InstallDir|x ");
    EXPECT_TRUE(Reports(out, false, 11, "also written by line 10")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, false, 1, "Uninstall.exe")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, false, 12, "not one of the package's files")) << ErrorsOf(out);
    EXPECT_FALSE(out.HasErrors()) << ErrorsOf(out);
}

}  // namespace
