#include "package/PathRules.h"

#include <gtest/gtest.h>

#include "package/ZodiDuradad.h"

namespace {
const TBaseFolders kDemo{"C:\\Program Files\\Demo", "C:\\WINDOWS", "C:\\WINDOWS\\system32"};
}

TEST(PathRules, ExampleTable) {
    EXPECT_EQ(ResolveDirIn(kDemo, "InstallDir", ""), "C:\\Program Files\\Demo");
    EXPECT_EQ(ResolveDirIn(kDemo, "InstallDir", "data\\img"), "C:\\Program Files\\Demo\\data\\img");
    EXPECT_EQ(ResolvePathIn(kDemo, "WindowsDir", "", "demo.ini"), "C:\\WINDOWS\\demo.ini");
    EXPECT_EQ(ResolvePathIn(kDemo, "InstallDir", "", "Uninstall.exe"), "C:\\Program Files\\Demo\\Uninstall.exe");
    EXPECT_EQ(ResolveDirIn(kDemo, "installdir", "data"), "\\data");
    EXPECT_EQ(ExpandInstallDirMacro("{InstallDir}\\demo.exe /s {InstallDir}", kDemo.InstallDir),
              "C:\\Program Files\\Demo\\demo.exe /s {InstallDir}");
}

TEST(PathRules, KeywordsAreExactAndCaseSensitive) {
    EXPECT_EQ(ResolveDirIn(kDemo, "System32Dir", ""), "C:\\WINDOWS\\system32");
    EXPECT_EQ(ResolveDirIn(kDemo, "WINDOWSDIR", ""), "");
    EXPECT_EQ(ResolveDirIn(kDemo, "", "x"), "\\x");
    EXPECT_EQ(ResolveDirIn(kDemo, "InstallDir ", ""), "");
}

TEST(PathRules, SeparatorsAreNeverNormalised) {
    EXPECT_EQ(ResolveDirIn(kDemo, "InstallDir", "\\data"), "C:\\Program Files\\Demo\\\\data");
    EXPECT_EQ(ResolvePathIn(kDemo, "InstallDir", "a/b", "..\\c.txt"), "C:\\Program Files\\Demo\\a/b\\..\\c.txt");
    EXPECT_EQ(ResolvePathIn(kDemo, "InstallDir", "", ""), "C:\\Program Files\\Demo\\");
    const TBaseFolders atRoot{"", "C:\\", "C:\\SYSTEM"};
    EXPECT_EQ(ResolvePathIn(atRoot, "WindowsDir", "", "demo.ini"), "C:\\\\demo.ini");
    EXPECT_EQ(ResolvePathIn(atRoot, "InstallDir", "", "a.exe"), "\\a.exe");
}

TEST(PathRules, MacroIsReplacedOnceAndOnlyWhenExact) {
    EXPECT_EQ(ExpandInstallDirMacro("no macro", "C:\\X"), "no macro");
    EXPECT_EQ(ExpandInstallDirMacro("{installdir}\\a", "C:\\X"), "{installdir}\\a");
    EXPECT_EQ(ExpandInstallDirMacro("x{InstallDir}y{InstallDir}", "C:\\X"), "xC:\\Xy{InstallDir}");
    EXPECT_EQ(ExpandInstallDirMacro("{InstallDir}", ""), "");
}

TEST(SetInstallDir, RemovesExactlyOneTrailingBackslash) {
    TVazuravAzoz pack;
    EXPECT_TRUE(pack.SetInstallDir("C:\\App\\"));
    EXPECT_EQ(pack.GetInstallDir(), "C:\\App");
    pack.SetInstallDir("C:\\App\\\\");
    EXPECT_EQ(pack.GetInstallDir(), "C:\\App\\");
    pack.SetInstallDir("C:\\");
    EXPECT_EQ(pack.GetInstallDir(), "C:");
    EXPECT_TRUE(pack.SetInstallDir(""));
    EXPECT_EQ(pack.GetInstallDir(), "");
    pack.SetInstallDir("C:\\App");
    EXPECT_EQ(pack.GetInstallDir(), "C:\\App");
}

TEST(SetInstallDir, ExpandMacrosUsesTheStoredFolder) {
    TVazuravAzoz pack;
    pack.SetInstallDir("D:\\Games\\Demo\\");
    const std::string value = "{InstallDir}\\demo.exe";
    EXPECT_EQ(pack.ExpandMacros(value), "D:\\Games\\Demo\\demo.exe");
    EXPECT_EQ(value, "{InstallDir}\\demo.exe");
}
