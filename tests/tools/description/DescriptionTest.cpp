#include "tools/description/Description.h"

#include <gtest/gtest.h>

#include "package/UninstallContract.h"
#include "tests/tools/ToolTestFiles.h"

using namespace RecordHead;

namespace {

class DescriptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("bin/Demo.exe", TextBytes("MZ demo"));
        pkg.Put("bin/Uninstall.exe", TextBytes("MZ uninstall"));
        pkg.Put("docs/readme.txt", TextBytes("read me"));
        pkg.Put("docs/img/b.bmp", TextBytes("BM b"));
        pkg.Put("docs/img/a.bmp", TextBytes("BM a"));
    }

    // Reads a description whose [package] and uninstaller are fixed, so
    // each test writes only what it is about, from line 5 on.
    TPackagePlan ReadWith(const std::string& rest, TDiagnostics& diagnostics) {
        pkg.Describe("[package]\nname = \"Demo\"\n[[file]]\nsource = \"bin/Uninstall.exe\"\n" + rest);
        return pkg.Read(diagnostics);
    }

    TDescribedPackage pkg;
};

std::string DirText(const TDirItem& d) { return d.BaseDir.Text() + "|" + d.SubDir.Text(); }

TEST_F(DescriptionTest, ReadsEverySectionIntoRecords) {
    pkg.Describe(R"toml([package]
name = "Demo"
author = "Ann Author"
email = "ann@example.com"
website = "https://example.com"

[[folder]]
path = "data/cache"

[[file]]
source = "bin/Demo.exe"

[[file]]
source = "bin/Uninstall.exe"

[[file]]
source = "docs/readme.txt"
base = "WindowsDir"
folder = "Demo"
name = "Demo.txt"

[[registry]]
root = "HKCU"
key = 'Software\Demo'
name = "Path"
value = "{InstallDir}\\Demo.exe"

[[registry]]
root = 0x80000002
key = 'Software\Demo'
value = "x"

[[shell]]
group = "Demo"

[[shell]]
item = "Demo"
target = "Demo.exe"

[[shell]]
screensaver = "demo.scr"
base = "System32Dir"

[[shell]]
wallpaper = "data/cache/x.bmp"
)toml");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.Header.Magic.Text(), "qzx");
    EXPECT_EQ(plan.Header.AppName.Text(), "Demo");
    EXPECT_EQ(plan.Header.Author.Text(), "Ann Author");
    EXPECT_EQ(plan.Header.Email.Text(), "ann@example.com");
    EXPECT_EQ(plan.Header.Website.Text(), "https://example.com");

    ASSERT_EQ(plan.Files.size(), 3u);
    EXPECT_EQ(plan.Files[0].Record.FileName.Text(), "Demo.exe");
    EXPECT_EQ(plan.Files[0].Record.BaseDir.Text(), "InstallDir");
    EXPECT_EQ(plan.Files[0].Record.SubDir.Text(), "");
    EXPECT_EQ(plan.Files[0].Size, 7u);
    EXPECT_EQ(plan.Files[0].Record.Size.Get(), 7u);
    EXPECT_EQ(plan.Files[0].Where.Line, 11u);
    EXPECT_EQ(plan.Files[2].Record.FileName.Text(), "Demo.txt");
    EXPECT_EQ(plan.Files[2].Record.BaseDir.Text(), "WindowsDir");
    EXPECT_EQ(plan.Files[2].Record.SubDir.Text(), "Demo");

    // The explicit folder already holds the install folder; the Windows
    // folder's Demo is added because a file goes there.
    ASSERT_EQ(plan.Dirs.size(), 2u);
    EXPECT_EQ(DirText(plan.Dirs[0]), "InstallDir|data\\cache");
    EXPECT_EQ(DirText(plan.Dirs[1]), "WindowsDir|Demo");

    // The Programs and Features values come first, then the description's.
    ASSERT_EQ(plan.RegItems.size(), 5u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan.RegItems[i].RootKey.Get(), UninstallContract::kRegistrationRoot);
        EXPECT_EQ(plan.RegItems[i].Key.Text(), UninstallContract::RegistrationKeyOf("Demo"));
    }
    EXPECT_EQ(plan.RegItems[0].ValueName.Text() + "=" + plan.RegItems[0].ValueData.Text(), "Publisher=Ann Author");
    EXPECT_EQ(plan.RegItems[1].ValueName.Text() + "=" + plan.RegItems[1].ValueData.Text(),
              "URLInfoAbout=https://example.com");
    EXPECT_EQ(plan.RegItems[2].ValueName.Text() + "=" + plan.RegItems[2].ValueData.Text(),
              "InstallLocation={InstallDir}");
    EXPECT_EQ(plan.RegItems[3].RootKey.Get(), 0x80000001u);
    EXPECT_EQ(plan.RegItems[3].Key.Text(), "Software\\Demo");
    EXPECT_EQ(plan.RegItems[3].ValueName.Text(), "Path");
    EXPECT_EQ(plan.RegItems[3].ValueData.Text(), "{InstallDir}\\Demo.exe");
    EXPECT_EQ(plan.RegItems[4].RootKey.Get(), 0x80000002u);
    EXPECT_EQ(plan.RegItems[4].ValueName.Text(), "");

    ASSERT_EQ(plan.ShellItems.size(), 4u);
    EXPECT_EQ(plan.ShellItems[0].Kind, skCreateGroup);
    EXPECT_EQ(plan.ShellItems[0].Caption.Text(), "Demo");
    EXPECT_EQ(plan.ShellItems[0].BaseDir.Text(), "");
    EXPECT_EQ(plan.ShellItems[1].Kind, skAddItem);
    EXPECT_EQ(plan.ShellItems[1].BaseDir.Text(), "InstallDir");
    EXPECT_EQ(plan.ShellItems[1].FileName.Text(), "Demo.exe");
    EXPECT_EQ(plan.ShellItems[2].Kind, skScreenSaver);
    EXPECT_EQ(plan.ShellItems[2].BaseDir.Text(), "System32Dir");
    EXPECT_EQ(plan.ShellItems[3].Kind, skWallpaper);
    EXPECT_EQ(plan.ShellItems[3].SubDir.Text(), "data\\cache");
    EXPECT_EQ(plan.ShellItems[3].FileName.Text(), "x.bmp");
}

TEST_F(DescriptionTest, PatternKeepsFolderStructureInByteOrder) {
    TDiagnostics d;
    const TPackagePlan plan = ReadWith("[[file]]\nsource = \"docs/**\"\nfolder = \"help\"\n", d);
    ASSERT_FALSE(d.HasErrors()) << ErrorsOf(d);
    ASSERT_EQ(plan.Files.size(), 4u);
    auto target = [&](std::size_t i) {
        return plan.Files[i].Record.SubDir.Text() + "|" + plan.Files[i].Record.FileName.Text();
    };
    EXPECT_EQ(target(1), "help\\img|a.bmp");
    EXPECT_EQ(target(2), "help\\img|b.bmp");
    EXPECT_EQ(target(3), "help|readme.txt");
}

TEST_F(DescriptionTest, WithoutAutoFoldersAFileNeedsAnEarlierFolderEntry) {
    pkg.Describe(R"toml([package]
name = "Demo"
auto_folders = false
[[folder]]
path = "data"
[[file]]
source = "bin/Uninstall.exe"
[[file]]
source = "docs/readme.txt"
folder = "data"
[[file]]
source = "docs/readme.txt"
folder = "other"
)toml");
    TDiagnostics d;
    pkg.Read(d);
    EXPECT_TRUE(Reports(d, true, 13, "target folder InstallDir\\other is not created")) << ErrorsOf(d);
    EXPECT_FALSE(Reports(d, true, 10, "")) << ErrorsOf(d);
    EXPECT_FALSE(Reports(d, true, 7, "")) << ErrorsOf(d);  // the install folder exists as data's parent
}

// Each refusal names the description file and the line that caused it.
struct TRefusal {
    const char* Name;
    std::string Rest;  // appended from line 5
    unsigned Line;
    const char* Part;
    const char* Absent = nullptr;  // in no message
};

class Refusals : public ::testing::TestWithParam<TRefusal> {};

TEST_P(Refusals, NameFileAndLine) {
    TDescribedPackage pkg;
    pkg.Put("bin/Uninstall.exe", TextBytes("MZ"));
    pkg.Put("a.txt", TextBytes("a"));
    pkg.Describe(std::string("[package]\nname = \"Demo\"\n[[file]]\nsource = \"bin/Uninstall.exe\"\n") +
                 GetParam().Rest);
    TDiagnostics d;
    pkg.Read(d);
    ASSERT_TRUE(Reports(d, true, GetParam().Line, GetParam().Part)) << ErrorsOf(d);
    for (const TDiagnostic& item : d.Items()) {
        EXPECT_EQ(item.Where.File, pkg.Description());
        if (GetParam().Absent) {
            EXPECT_EQ(item.Format().find(GetParam().Absent), std::string::npos) << item.Format();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Description, Refusals,
    ::testing::Values(
        TRefusal{"BaseCase", "[[file]]\nsource = \"a.txt\"\nbase = \"installdir\"\n", 7, "must be written \"InstallDir\""},
        TRefusal{"BaseUnknown", "[[folder]]\npath = \"x\"\nbase = \"ProgramFiles\"\n", 7, "is not \"InstallDir\""},
        TRefusal{"SourceMissing", "[[file]]\nsource = \"gone.txt\"\n", 6, "not found"},
        TRefusal{"SourceFolder", "[[file]]\nsource = \"bin\"\n", 6, "is not a file"},
        TRefusal{"PatternEmpty", "[[file]]\nsource = \"*.none\"\n", 6, "matches no file"},
        TRefusal{"NameWithPattern", "[[file]]\nsource = \"*.txt\"\nname = \"b.txt\"\n", 7, "cannot rename"},
        TRefusal{"ParentFolder", "[[file]]\nsource = \"a.txt\"\nfolder = \"../up\"\n", 7, "stay below"},
        TRefusal{"BadCharacter", "[[file]]\nsource = \"a.txt\"\nname = \"a?.txt\"\n", 7, "cannot appear"},
        TRefusal{"NameTooLong", std::string("[[file]]\nsource = \"a.txt\"\nname = \"") + std::string(257, 'x') + "\"\n", 7,
                 "257 characters long; its field holds at most 256"},
        TRefusal{"ValueNameTooLong", std::string("[[registry]]\nroot = \"HKCU\"\nkey = \"K\"\nvalue = \"v\"\nname = \"") + std::string(129, 'x') + "\"\n", 9,
                 "its field holds at most 128"},
        TRefusal{"NotInCodePage", "[[shell]]\ngroup = \"Demo \u4e2d\"\n", 6, "Windows-1252"},
        TRefusal{"RootName", "[[registry]]\nroot = \"HKEY_NOWHERE\"\nkey = \"K\"\nvalue = \"\"\n", 6, "not a registry root"},
        TRefusal{"RootNumber", "[[registry]]\nroot = 5\nkey = \"K\"\nvalue = \"\"\n", 6, "not a predefined registry root"},
        TRefusal{"KeyMissing", "[[registry]]\nroot = \"HKCU\"\nvalue = \"\"\n", 5, "needs \"key\""},
        TRefusal{"ShellNoKind", "[[shell]]\ntarget = \"a.txt\"\n", 5, "needs one of"},
        TRefusal{"ShellTwoKinds", "[[shell]]\ngroup = \"G\"\nwallpaper = \"a.bmp\"\n", 5, "only one of"},
        TRefusal{"ItemNoTarget", "[[shell]]\nitem = \"I\"\n", 5, "needs \"target\""},
        TRefusal{"UnknownKey", "[[file]]\nsource = \"a.txt\"\nfodler = \"x\"\n", 7, "did you mean \"folder\""},
        // Without noise about the shell item's target, which the misspelt table holds.
        TRefusal{"UnknownTable", "[[files]]\nsource = \"a.txt\"\n[[shell]]\ngroup = \"G\"\n[[shell]]\nitem = \"A\"\ntarget = \"a.txt\"\n",
                 5, "did you mean \"file\"", "not one of the package's files"},
        TRefusal{"SourceCase", "[[file]]\nsource = \"A.TXT\"\n", 6, "not found; only the case differs from \"a.txt\" there"},
        TRefusal{"WrongType", "[[file]]\nsource = 3\n", 6, "must be a string"},
        TRefusal{"Undefined", "[[file]]\nsource = \"${NOPE}.txt\"\n", 6, "${NOPE} is not defined"},
        TRefusal{"UnclosedQuote", "[[file]]\nsource = \"a.txt\nname = \"b.txt\"\n", 6, "unterminated string", "Error"},
        TRefusal{"UnclosedAtTheEnd", "[[file]]\nsource = 'a.txt", 6, "unterminated string", "Error"},
        TRefusal{"Syntax", "[[file]]\nsource = = \"a.txt\"\n", 6, "while parsing", "Error"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DescriptionPackage, MissingPackageTableAndNameAreRefused) {
    TDescribedPackage pkg;
    pkg.Describe("[[folder]]\npath = \"x\"\n");
    TDiagnostics d;
    pkg.Read(d);
    EXPECT_TRUE(Reports(d, true, 0, "[package]")) << ErrorsOf(d);

    pkg.Describe("\n[package]\nauthor = \"A\"\n");
    TDiagnostics d2;
    pkg.Read(d2);
    EXPECT_TRUE(Reports(d2, true, 2, "needs \"name\"")) << ErrorsOf(d2);
}

TEST(DescriptionPackage, AuthorLongerThanItsFieldIsRefused) {
    TDescribedPackage pkg;
    pkg.Describe("[package]\nname = \"D\"\nauthor = \"" + std::string(65, 'a') + "\"\n");
    TDiagnostics d;
    pkg.Read(d);
    EXPECT_TRUE(Reports(d, true, 3, "65 characters long; its field holds at most 64")) << ErrorsOf(d);
}

TEST(DescriptionPackage, ExactlyFullFieldsAreAccepted) {
    TDescribedPackage pkg;
    pkg.Describe("[package]\nname = \"" + std::string(256, 'n') + "\"\nwebsite = \"" + std::string(128, 'w') +
                 "\"\n[[file]]\nsource = \"stub.exe\"\nname = \"Uninstall.exe\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.Header.AppName.Text(), std::string(256, 'n'));
    EXPECT_EQ(plan.Header.Website.Text(), std::string(128, 'w'));
}

TEST(DescriptionPackage, TextIsConvertedToWindows1252) {
    TDescribedPackage pkg;
    pkg.Describe("[package]\nname = \"Caf\u00e9 \u20ac\"\n[[file]]\nsource = \"stub.exe\"\nname = \"Uninstall.exe\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.Header.AppName.Text(), "Caf\xE9 \x80");
}

TEST(DescriptionDefines, AreSubstitutedAndStubDirIsKnown) {
    TDescribedPackage pkg;
    pkg.Options.Defines["VERSION"] = "2.5";
    pkg.Describe("[package]\nname = \"Demo ${VERSION}$${x}\"\n[[file]]\nsource = \"${STUB_DIR}/stub.exe\"\n"
                 "name = \"Uninstall.exe\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.Header.AppName.Text(), "Demo 2.5${x}");
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Source.front(), '/');  // STUB_DIR is absolute
}

TEST(DescriptionStub, StubKeyAndMissingStub) {
    TDescribedPackage pkg;
    pkg.Options.Stub.clear();
    pkg.Describe("[package]\nname = \"D\"\nstub = \"stub.exe\"\n[[file]]\nsource = \"stub.exe\"\nname = \"Uninstall.exe\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.StubSize, 3002u);

    pkg.Describe("[package]\nname = \"D\"\nstub = \"nothing.exe\"\n");
    TDiagnostics d;
    pkg.Read(d);
    EXPECT_TRUE(Reports(d, true, 3, "not found")) << ErrorsOf(d);

    pkg.Describe("[package]\nname = \"D\"\n");
    TDiagnostics d2;
    pkg.Options.ToolPath = pkg.Dir().File("bin/makesetup");  // no Setup.exe beside it
    pkg.Read(d2);
    EXPECT_TRUE(Reports(d2, true, 0, "no stub")) << ErrorsOf(d2);
}

TEST(DescriptionStub, SetupExeBesideTheToolIsTheDefault) {
    TDescribedPackage pkg;
    pkg.Options.Stub.clear();
    pkg.Put("tool/Setup.exe", TextBytes("MZ setup"));
    pkg.Options.ToolPath = pkg.Dir().File("tool/makesetup");
    pkg.Describe("[package]\nname = \"D\"\n[[file]]\nsource = \"stub.exe\"\nname = \"Uninstall.exe\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.StubSize, 8u);
}

TEST_F(DescriptionTest, WarningsDoNotStopTheBuild) {
    pkg.Describe(R"toml([package]
name = "Demo, (x)"
[[file]]
source = "bin/Demo.exe"
[[shell]]
item = "Demo"
target = "Demo.exe"
[[shell]]
group = "Tools [1]"
[[shell]]
item = "Missing"
target = "nothing.exe"
[[registry]]
root = "HKCU"
key = "K"
value = "{InstallDir} {installdir}"
[[file]]
source = "bin/Demo.exe"
)toml");
    TDiagnostics d;
    pkg.Read(d);
    EXPECT_FALSE(d.HasErrors()) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 1, "Uninstall.exe")) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 5, "before any group")) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 7, "default install folder holds the application name, whose \",\", \"(\", \")\", "
                                     "\"[\" or \"]\" the Program Manager command takes as syntax"))
        << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 9, "\"[\"")) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 12, "not one of the package's files")) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 16, "{installdir}")) << ErrorsOf(d);
    EXPECT_TRUE(Reports(d, false, 18, "also written by line 4")) << ErrorsOf(d);
}

// An installed layout: PREFIX/bin/makesetup, PREFIX/share/makesetup/{Setup,Uninstall}.exe.
class InstalledLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Options.Stub.clear();
        pkg.Options.ToolPath = pkg.Dir().File("prefix/bin/makesetup");
        pkg.Put("prefix/bin/makesetup", TextBytes("ELF"));
        pkg.Put("prefix/share/makesetup/Setup.exe", TextBytes("MZ installed setup"));
        pkg.Put("prefix/share/makesetup/Uninstall.exe", TextBytes("MZ installed uninstaller"));
        pkg.Describe("[package]\nname = \"D\"\nuninstaller = true\n");
    }
    std::string Shared(const std::string& name) const { return pkg.Dir().File("prefix/share/makesetup/" + name); }

    TDescribedPackage pkg;
};

TEST_F(InstalledLayoutTest, StubAndUninstallerComeFromTheDataFolder) {
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.StubPath, Shared("Setup.exe"));
    EXPECT_EQ(plan.StubSize, 18u);
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Source, Shared("Uninstall.exe"));
    EXPECT_EQ(plan.Files[0].Record.FileName.Text(), "Uninstall.exe");
}

TEST_F(InstalledLayoutTest, StubDirNamesTheDataFolderWithoutDotDot) {
    pkg.Put("prefix/share/makesetup/extra.txt", TextBytes("x"));
    pkg.Describe("[package]\nname = \"D\"\nuninstaller = true\n[[file]]\nsource = \"${STUB_DIR}/extra.txt\"\n");
    const TPackagePlan plan = pkg.ReadClean();
    ASSERT_EQ(plan.Files.size(), 2u);
    EXPECT_EQ(plan.Files[0].Source, Shared("extra.txt"));  // the uninstaller comes last
}

TEST_F(InstalledLayoutTest, FilesBesideTheToolComeFirst) {
    pkg.Put("prefix/bin/Setup.exe", TextBytes("MZ beside"));
    pkg.Put("prefix/bin/Uninstall.exe", TextBytes("MZ uninstaller beside"));
    const TPackagePlan plan = pkg.ReadClean();
    EXPECT_EQ(plan.StubPath, pkg.Dir().File("prefix/bin/Setup.exe"));
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Source, pkg.Dir().File("prefix/bin/Uninstall.exe"));
}

TEST_F(InstalledLayoutTest, AnUninstallerBesideAGivenStubWinsOverTheDataFolder) {
    pkg.Put("own/Setup.exe", TextBytes("MZ own setup"));
    pkg.Put("own/Uninstall.exe", TextBytes("MZ own uninstaller"));
    pkg.Options.Stub = pkg.Dir().File("own/Setup.exe");
    const TPackagePlan plan = pkg.ReadClean();
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Source, pkg.Dir().File("own/Uninstall.exe"));

    // A stub without one beside it falls back to the tool's own.
    pkg.Put("lone/Setup.exe", TextBytes("MZ lone setup"));
    pkg.Options.Stub = pkg.Dir().File("lone/Setup.exe");
    const TPackagePlan lone = pkg.ReadClean();
    ASSERT_EQ(lone.Files.size(), 1u);
    EXPECT_EQ(lone.Files[0].Source, Shared("Uninstall.exe"));
}

}  // namespace

TEST(DescriptionUninstaller, TrueTakesTheOneBesideTheStubAndSilencesTheWarning) {
    TDescribedPackage pkg;
    pkg.Put("tool/Setup.exe", TextBytes("MZ setup"));
    pkg.Put("tool/Uninstall.exe", TextBytes("MZ companion"));
    pkg.Options.Stub = pkg.Dir().File("tool/Setup.exe");
    pkg.Describe("[package]\nname = \"D\"\nuninstaller = true\n");
    TDiagnostics d;
    const TPackagePlan plan = pkg.Read(d);
    EXPECT_FALSE(d.HasErrors()) << ErrorsOf(d);
    EXPECT_FALSE(Reports(d, false, 1, "Uninstall.exe")) << ErrorsOf(d);
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Source, pkg.Dir().File("tool/Uninstall.exe"));
    EXPECT_EQ(plan.Files[0].Record.BaseDir.Text(), "InstallDir");
    EXPECT_EQ(plan.Files[0].Record.SubDir.Text(), "");
    EXPECT_EQ(plan.Files[0].Record.FileName.Text(), "Uninstall.exe");
    EXPECT_EQ(plan.Files[0].Size, 12u);
}

TEST(DescriptionUninstaller, PathKeyOptionFalseAndMissing) {
    TDescribedPackage pkg;
    pkg.Put("own/Remover.exe", TextBytes("MZ own"));
    pkg.Put("cli/Uninstall.exe", TextBytes("MZ from the command line"));

    pkg.Describe("[package]\nname = \"D\"\nuninstaller = \"own/Remover.exe\"\n");
    TPackagePlan plan = pkg.ReadClean();
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Record.FileName.Text(), "Uninstall.exe");
    EXPECT_EQ(plan.Files[0].Size, 6u);

    pkg.Options.Uninstaller = pkg.Dir().File("cli/Uninstall.exe");  // the option wins over the key
    plan = pkg.ReadClean();
    ASSERT_EQ(plan.Files.size(), 1u);
    EXPECT_EQ(plan.Files[0].Size, 24u);
    pkg.Options.Uninstaller.clear();

    pkg.Describe("[package]\nname = \"D\"\nuninstaller = false\n");
    TDiagnostics off;
    EXPECT_TRUE(pkg.Read(off).Files.empty());
    EXPECT_TRUE(Reports(off, false, 1, "no \"Uninstall.exe\"")) << ErrorsOf(off);

    pkg.Options.ToolPath = pkg.Dir().File("elsewhere/makesetup");
    pkg.Describe("[package]\nname = \"D\"\nuninstaller = true\n");
    TDiagnostics missing;
    pkg.Read(missing);
    EXPECT_TRUE(Reports(missing, true, 3, "no Uninstall.exe lies beside")) << ErrorsOf(missing);

    pkg.Describe("[package]\nname = \"D\"\nuninstaller = \"gone/Uninstall.exe\"\n");
    TDiagnostics gone;
    pkg.Read(gone);
    EXPECT_TRUE(Reports(gone, true, 3, "not found")) << ErrorsOf(gone);
    EXPECT_FALSE(Reports(gone, false, 1, "no \"Uninstall.exe\"")) << "the error says it already: " << ErrorsOf(gone);

    pkg.Describe("[package]\nname = \"D\"\nuninstaller = 3\n");
    TDiagnostics wrong;
    pkg.Read(wrong);
    EXPECT_TRUE(Reports(wrong, true, 3, "true or false")) << ErrorsOf(wrong);
}

TEST(DescriptionUninstaller, ReplacesAnUninstallExeOfTheDescriptionWithAWarning) {
    TDescribedPackage pkg;
    pkg.Put("bin/Uninstall.exe", TextBytes("MZ stand-in"));
    pkg.Put("real/Uninstall.exe", TextBytes("MZ real"));
    pkg.Describe("[package]\nname = \"D\"\nuninstaller = \"real/Uninstall.exe\"\n[[file]]\nsource = \"bin/Uninstall.exe\"\n");
    TDiagnostics d;
    const TPackagePlan plan = pkg.Read(d);
    EXPECT_FALSE(d.HasErrors()) << ErrorsOf(d);
    ASSERT_EQ(plan.Files.size(), 2u);
    EXPECT_EQ(plan.Files.back().Size, 7u);
    EXPECT_TRUE(Reports(d, false, 3, "also written by line 5")) << ErrorsOf(d);
}
