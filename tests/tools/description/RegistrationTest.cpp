// The [package] keys of the Programs and Features entry and of the code page,
// read through the description reader.
#include "tools/description/Registration.h"

#include <gtest/gtest.h>

#include "package/UninstallContract.h"
#include "tests/tools/ToolTestFiles.h"
#include "tests/tools/pe/PeTestImage.h"

using namespace RecordHead;

namespace {

class PackageKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("stub.exe", SmallPeImage({}));  // a program: the version key gives it a version resource
        pkg.Put("bin/App.exe", TextBytes("MZ app"));
        pkg.Put("bin/Uninstall.exe", TextBytes("MZ uninstall"));
    }
    // [package] with `keys` from line 3, then App.exe in `folder` and the uninstaller.
    TPackagePlan Read(const std::string& keys, TDiagnostics& d, const std::string& folder = "") {
        pkg.Describe("[package]\nname = \"App\"\n" + keys + "\n[[file]]\nsource = \"bin/App.exe\"\nfolder = '" + folder +
                     "'\n[[file]]\nsource = \"bin/Uninstall.exe\"\n");
        return pkg.Read(d);
    }
    static std::vector<std::string> Values(const TPackagePlan& plan) {
        std::vector<std::string> values;
        for (const TRegItem& r : plan.RegItems) values.push_back(r.ValueName.Text() + "=" + r.ValueData.Text());
        return values;
    }
    TDescribedPackage pkg;
};

TEST_F(PackageKeysTest, EveryKeyGivesItsValueUnderTheSetupProgramsKey) {
    TDiagnostics d;
    const auto plan = Read("version = \"1.2.3.4\"\nauthor = \"Ann\"\nwebsite = \"https://a.example\"\n"
                           "display_icon = 'bin\\App.exe'\nhelp_link = \"https://a.example/help\"",
                           d, "bin");
    ASSERT_FALSE(d.HasErrors()) << ErrorsOf(d);
    EXPECT_EQ(Values(plan), (std::vector<std::string>{"DisplayVersion=1.2.3.4", "Publisher=Ann",
                                                      "URLInfoAbout=https://a.example", "InstallLocation={InstallDir}",
                                                      "DisplayIcon={InstallDir}\\bin\\App.exe",
                                                      "HelpLink=https://a.example/help"}));
    for (const TRegItem& r : plan.RegItems) {
        EXPECT_EQ(r.RootKey.Get(), UninstallContract::kRegistrationRoot);
        EXPECT_EQ(r.Key.Text(), UninstallContract::RegistrationKeyOf("App"));
    }
}

TEST_F(PackageKeysTest, RegistrationFalseAddsNothing) {
    TDiagnostics d;
    EXPECT_TRUE(Read("version = \"1\"\nregistration = false", d).RegItems.empty()) << ErrorsOf(d);
}

TEST_F(PackageKeysTest, RefusesAWrongVersionIconOrCodePageWithTheirLines) {
    for (const char* version : {"", "1.", ".1", "1.2.3.4.5", "65536", "1.x", "v1", "1..2", "1 .2"}) {
        TDiagnostics d;
        Read(std::string("version = \"") + version + "\"", d);
        EXPECT_TRUE(Reports(d, true, 3, "version")) << version;
    }
    TDiagnostics icon;
    Read("display_icon = \"Other.exe\"", icon);
    EXPECT_TRUE(Reports(icon, true, 3, "is not one of the package's files")) << ErrorsOf(icon);
    TDiagnostics outside;
    Read("display_icon = \"../App.exe\"", outside);
    EXPECT_TRUE(Reports(outside, true, 3, "\"..\"")) << ErrorsOf(outside);
    for (const char* page : {"437", "65001", "\"932\"", "-1"}) {
        TDiagnostics d;
        Read(std::string("codepage = ") + page, d);
        EXPECT_TRUE(Reports(d, true, 3, "codepage must be one of")) << page;
    }
}

TEST_F(PackageKeysTest, ShiftJisTextIsWrittenInItsBytesAndFoldersSplitByCharacter) {
    TDiagnostics d;
    // ア (0x83 0x41) and ヂ (0x83 0x61) differ only in what an ASCII fold
    // would change: ヂ needs a folder of its own.
    pkg.Describe("[package]\nname = \"表ソフト\"\nauthor = \"山田\"\ncodepage = 932\n"
                 "[[folder]]\npath = 'ア'\n"
                 "[[file]]\nsource = \"bin/App.exe\"\nfolder = '表\\ソ'\n"
                 "[[file]]\nsource = \"bin/App.exe\"\nfolder = 'ヂ'\n"
                 "[[file]]\nsource = \"bin/Uninstall.exe\"\n");
    const auto plan = pkg.Read(d);
    ASSERT_FALSE(d.HasErrors()) << ErrorsOf(d);
    EXPECT_EQ(plan.Header.AppName.Text(), "\x95\x5C\x83\x5C\x83\x74\x83\x67");
    EXPECT_EQ(plan.Header.Author.Text(), "\x8E\x52\x93\x63");
    EXPECT_EQ(plan.Files[0].Record.SubDir.Text(), "\x95\x5C\\\x83\x5C");
    std::vector<std::string> dirs;
    for (const TDirItem& dir : plan.Dirs) dirs.push_back(dir.SubDir.Text());
    EXPECT_EQ(dirs, (std::vector<std::string>{"\x83\x41", "\x95\x5C\\\x83\x5C", "\x83\x61"}));
    EXPECT_EQ(plan.RegItems[0].Key.Text(), UninstallContract::RegistrationKeyOf("\x95\x5C\x83\x5C\x83\x74\x83\x67"));

    TDiagnostics western;
    pkg.Describe("[package]\nname = \"表\"\n[[file]]\nsource = \"bin/Uninstall.exe\"\n");
    pkg.Read(western);
    EXPECT_TRUE(Reports(western, true, 2, "U+8868, which the package's code page (Windows-1252) does not have"))
        << ErrorsOf(western);
}

}  // namespace
