#include "uninstaller/UninstallPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "package/PackageWriter.h"
#include "package/UninstallContract.h"

using namespace RecordHead;

namespace {
const TBaseFolders kFolders{"C:\\Program Files\\Demo", "C:\\windows", "C:\\windows\\system32"};

TUninstallPlan Plan(const PackageTables& tables, std::string_view name = "Demo") {
    return PlanUninstall(tables.View(), name, kFolders);
}
}  // namespace

TEST(UninstallPlan, RemovesOnlyFilesResolvedIntoTheInstallFolder) {
    PackageTables t;
    t.Files = {MakeFileItem("demo.exe", "InstallDir", "", 0, 0),
               MakeFileItem("a.txt", "InstallDir", "doc\\en", 0, 0),
               MakeFileItem("demo.ini", "WindowsDir", "", 0, 0),
               MakeFileItem("demo.dll", "System32Dir", "", 0, 0),
               MakeFileItem("x.txt", "installdir", "", 0, 0),
               MakeFileItem("evil.txt", "InstallDir", "..\\..", 0, 0),
               MakeFileItem("DEMO.EXE", "InstallDir", "", 0, 0)};
    const auto plan = Plan(t);
    EXPECT_EQ(plan.FilesToRemove, (std::vector<std::string>{"C:\\Program Files\\Demo\\demo.exe",
                                                            "C:\\Program Files\\Demo\\doc\\en\\a.txt"}));
    EXPECT_EQ(plan.SharedFilesLeft,
              (std::vector<std::string>{"C:\\windows\\demo.ini", "C:\\windows\\system32\\demo.dll"}));
    EXPECT_EQ(plan.OtherFilesLeft,
              (std::vector<std::string>{"\\x.txt", "C:\\Program Files\\Demo\\..\\..\\evil.txt"}));
}

TEST(UninstallPlan, FoldersBelowTheInstallFolderInnermostFirstWithTheirParents) {
    PackageTables t;
    t.Dirs = {MakeDirItem("InstallDir", ""), MakeDirItem("InstallDir", "data"),
              MakeDirItem("InstallDir", "doc\\en\\html"), MakeDirItem("InstallDir", "Data"),
              MakeDirItem("WindowsDir", "Demo"), MakeDirItem("InstallDir", "..\\Other")};
    EXPECT_EQ(Plan(t).FoldersToRemove,
              (std::vector<std::string>{"C:\\Program Files\\Demo\\doc\\en\\html", "C:\\Program Files\\Demo\\doc\\en",
                                        "C:\\Program Files\\Demo\\data", "C:\\Program Files\\Demo\\doc"}));
}

TEST(UninstallPlan, GroupsRegistryValuesAndSettings) {
    PackageTables t;
    t.ShellItems = {MakeShellItem(skCreateGroup, "", "", "", "Demo"),
                    MakeShellItem(skAddItem, "InstallDir", "", "demo.exe", "Demo"),
                    MakeShellItem(skCreateGroup, "", "", "", "demo"),
                    MakeShellItem(skScreenSaver, "System32Dir", "", "demo.scr", ""),
                    MakeShellItem(skWallpaper, "InstallDir", "", "w.bmp", ""),
                    MakeShellItem(skCreateGroup, "", "", "", "")};
    t.RegItems = {MakeRegItem(0x80000001u, "Software\\Demo", "Path", "{InstallDir}"),
                  MakeRegItem(0x80000001u, "software\\demo", "path", "again"),
                  MakeRegItem(0x80000002u, "Software\\Demo", "Path", "x")};
    const auto plan = Plan(t);
    EXPECT_EQ(plan.GroupsToDelete, (std::vector<std::string>{"Demo"}));
    EXPECT_EQ(plan.SettingsLeft, (std::vector<std::string>{"screen saver: C:\\windows\\system32\\demo.scr",
                                                           "wallpaper: C:\\Program Files\\Demo\\w.bmp"}));
    ASSERT_EQ(plan.RegistryValues.size(), 2u);
    EXPECT_EQ(plan.RegistryValues[1].RootKey, 0x80000002u);
    EXPECT_EQ(plan.RegistrationKey, UninstallContract::RegistrationKeyOf("Demo"));
}

TEST(UninstallPlan, ValuesOfTheRegistrationGoWithItsKey) {
    const std::string key = UninstallContract::RegistrationKeyOf("Demo");
    std::string otherwiseWritten = "\\" + key;  // a leading backslash, another case
    std::transform(otherwiseWritten.begin(), otherwiseWritten.end(), otherwiseWritten.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    PackageTables t;
    t.RegItems = {MakeRegItem(UninstallContract::kRegistrationRoot, key, "DisplayVersion", "1.0"),
                  MakeRegItem(UninstallContract::kRegistrationRoot, otherwiseWritten, "Publisher", "Ann"),
                  MakeRegItem(RegistryRoots::kCurrentUser, key, "Mine", "HKCU is not the registration"),
                  MakeRegItem(UninstallContract::kRegistrationRoot, key + "\\Sub", "Deeper", "a key of its own")};
    const auto plan = Plan(t);
    ASSERT_EQ(plan.RegistryValues.size(), 2u);
    EXPECT_EQ(plan.RegistryValues[0].ValueName, "Mine");
    EXPECT_EQ(plan.RegistryValues[1].ValueName, "Deeper");
    // Without a registration of its own, the package's values are plain values.
    EXPECT_EQ(Plan(t, "").RegistryValues.size(), 4u);
}

TEST(UninstallPlan, RegistrationKeyOnlyForANameThatIsOneKey) {
    EXPECT_EQ(Plan({}, "").RegistrationKey, "");
    EXPECT_EQ(Plan({}, "..").RegistrationKey, "");
    EXPECT_EQ(Plan({}, "Demo\\..\\Other").RegistrationKey, "");
    EXPECT_TRUE(Plan({}, "").Empty());
    // 表 is 0x95 0x5C in Shift-JIS: one character, not a separator.
    const auto shiftJisLead = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
    EXPECT_EQ(PlanUninstall({}, "\x95\x5C", {}, shiftJisLead).RegistrationKey,
              UninstallContract::RegistrationKeyOf("\x95\x5C"));
    EXPECT_EQ(PlanUninstall({}, "\x95\x5C", {}, NoLeadBytes).RegistrationKey, "");
    EXPECT_FALSE(Plan({}, "Demo").Empty());
}

TEST(InsideFolder, ComponentWiseWithoutCaseAndWithoutDotComponents) {
    EXPECT_TRUE(IsInsideFolder("C:\\App\\a.txt", "C:\\App"));
    EXPECT_TRUE(IsInsideFolder("c:\\app\\\\sub\\a", "C:\\App"));
    EXPECT_FALSE(IsInsideFolder("C:\\App", "C:\\App"));
    EXPECT_FALSE(IsInsideFolder("C:\\Apple\\a", "C:\\App"));
    EXPECT_FALSE(IsInsideFolder("C:\\App\\..\\Windows\\x", "C:\\App"));
    EXPECT_FALSE(IsInsideFolder("C:\\App\\.\\x", "C:\\App"));
    EXPECT_FALSE(IsInsideFolder("\\a", ""));
}
