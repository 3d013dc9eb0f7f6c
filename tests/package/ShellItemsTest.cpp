// Shell items against Wine's own Program Manager service (it makes Start Menu
// folders and links), the screen saver in the registry, and the wallpaper and
// display control panel through recording stand-ins in the test's prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "tests/package/EngineTestSupport.h"
#include "tests/package/RecordedShellFixture.h"

using namespace RecordHead;

namespace {

class ShellItems : public RecordedShell {
protected:
    ShellItems() : RecordedShell("Shell Demo Folder") {}
    // Wine's shell opens a folder window for each group it makes.
    void TearDown() override { EXPECT_TRUE(CloseFolderWindows()); }
    std::string Link(const std::string& group, const std::string& caption) const {
        return ProgramsFolder() + "\\" + group + "\\" + caption + ".lnk";
    }
    std::vector<std::string> WallpaperCalls() const {
        return FileExists(wallpaperLog) ? WaitForLogLines(wallpaperLog, 0, 0) : std::vector<std::string>{};
    }
};

TEST_F(ShellItems, GroupsAndItemsAppearInTheStartMenu) {
    Open(PackageBuilder()
             .App("Shell Demo")
             .Dir("InstallDir", "")
             .File("demo.exe", "InstallDir", "", PatternBytes(64))
             .File("read me.txt", "InstallDir", "", TextBytes("hello"))
             .Shell(skCreateGroup, "", "", "", "Setup Engine Group")
             .Shell(skAddItem, "InstallDir", "", "demo.exe", "Demo App")
             .Shell(skAddItem, "InstallDir", "", "read me.txt", "Read Me")
             .Shell(skCreateGroup, "", "", "", "Setup Engine Second")
             .Shell(skAddItem, "InstallDir", "", "demo.exe", "Demo Again"));
    pack.Install();

    const std::string links[] = {Link("Setup Engine Group", "Demo App"), Link("Setup Engine Group", "Read Me"),
                                 Link("Setup Engine Second", "Demo Again")};
    EXPECT_TRUE(PumpUntil([&] { return FileExists(links[0]) && FileExists(links[1]) && FileExists(links[2]); }, 20000));
    EXPECT_EQ(LinkTarget(links[0]), At("demo.exe")) << "the long path with its blanks, unquoted";
    EXPECT_EQ(LinkTarget(links[1]), At("read me.txt"));
    EXPECT_EQ(LinkTarget(links[2]), At("demo.exe"));
    EXPECT_FALSE(FileExists(Link("Setup Engine Second", "Read Me"))) << "items go to the group made last";
}

TEST_F(ShellItems, EveryRecordReportsCreateGroupWhateverItsKind) {
    Open(PackageBuilder()
             .App("Kinds Demo")
             .Dir("InstallDir", "")
             .File("demo.scr", "InstallDir", "", PatternBytes(10))
             .File("demo.bmp", "InstallDir", "", PatternBytes(10))
             .Shell(skCreateGroup, "", "", "", "Setup Engine Kinds")
             .Shell(skAddItem, "InstallDir", "", "demo.scr", "Saver")
             .Shell(skNone, "", "", "", "")
             .Shell(skScreenSaver, "InstallDir", "", "demo.scr", "")
             .Shell(skWallpaper, "InstallDir", "", "demo.bmp", "")
             .Shell(7, "", "", "", ""));
    pack.Install();
    ASSERT_EQ(log.Reports.size(), 3u + 6u);
    for (std::size_t i = 3; i < log.Reports.size(); ++i) {
        EXPECT_EQ(log.Reports[i].Text, "Create group");
        EXPECT_EQ(log.Reports[i].Position, std::int32_t(i + 1));
    }
}

TEST_F(ShellItems, PausesOneSecondAfterEachGroupCommandOnly) {
    Open(PackageBuilder()
             .App("Pause Demo")
             .Shell(skNone, "", "", "", "")
             .Shell(skCreateGroup, "", "", "", "Setup Engine Pause One")
             .Shell(skNone, "", "", "", "")
             .Shell(skNone, "", "", "", "")
             .Shell(skNone, "", "", "", "")
             .Shell(skCreateGroup, "", "", "", "Setup Engine Pause Two")
             .Shell(skNone, "", "", "", "")
             .Shell(skNone, "", "", "", "")
             .Shell(skNone, "", "", "", ""));
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    pack.Install();
    ASSERT_EQ(log.Reports.size(), 9u);
    // The time record i took, between its report and the one before; the
    // clock is the monotonic performance counter, which a busy machine can
    // only make read long.
    const auto took = [&](std::size_t i) { return log.Reports[i].AtMs - log.Reports[i - 1].AtMs; };
    // A sleep may end up to one timer tick (15.6 ms) before its time.
    constexpr double kPauseAtLeastMs = 1000.0 - 16.0;
    EXPECT_GE(took(1), kPauseAtLeastMs);
    EXPECT_GE(took(5), kPauseAtLeastMs);
    // A stalled machine can stretch any step; a pause stretches every one.
    std::vector<double> others = {took(2), took(3), took(4), took(6), took(7), took(8)};
    std::sort(others.begin(), others.end());
    EXPECT_LT(others[others.size() / 2], 500.0) << "no pause after other records; the steps took "
                                                   << others.front() << " to " << others.back() << " ms";
}

TEST_F(ShellItems, ScreenSaverGoesToTheDesktopKeyAsShortPathAndOpensTheDisplayPanel) {
    ASSERT_EQ(GetWinVersion(), wcXP) << "Wine's default version, 6.1";
    Open(PackageBuilder()
             .App("Saver Demo")
             .Dir("InstallDir", "")
             .File("Demo Screen Saver.scr", "InstallDir", "", PatternBytes(10))
             .Shell(skScreenSaver, "InstallDir", "", "Demo Screen Saver.scr", ""));
    pack.Install();
    const std::string shortPath = ShortPathOf(At("Demo Screen Saver.scr"));
    ASSERT_NE(shortPath.find('~'), std::string::npos);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), shortPath);
    const auto panel = WaitForLogLines(deskLog, 2);
    ASSERT_GE(panel.size(), 2u);
    EXPECT_EQ(panel[0], kDisplayCommandLine);
    EXPECT_EQ(panel[1], "StartWithParameters [1] applet 0") << "the page with index 1";
}

TEST_F(ShellItems, ScreenSaverThatDoesNotExistWritesAnEmptyValue) {
    Open(PackageBuilder().App("Missing Saver").Shell(skScreenSaver, "InstallDir", "", "missing.scr", ""));
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    pack.Install();
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "");
}

TEST_F(ShellItems, ScreenSaverWithoutTheDesktopKeyWritesNothingAndGoesOn) {
    ASSERT_EQ(::RegDeleteTreeA(HKEY_CURRENT_USER, kDesktopKey), ERROR_SUCCESS);
    Open(PackageBuilder()
             .App("No Desktop Key")
             .Dir("InstallDir", "")
             .File("demo.scr", "InstallDir", "", PatternBytes(10))
             .Shell(skScreenSaver, "InstallDir", "", "demo.scr", "")
             .Shell(skNone, "", "", "", ""));
    EXPECT_NO_THROW(pack.Install());
    // Wine's own processes may bring the key back; the value never comes.
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), std::nullopt);
    EXPECT_EQ(log.Reports.size(), 4u);
    EXPECT_TRUE(FileExists(At(kUninstallDataFile)));
    EXPECT_EQ(WaitForLogLines(deskLog, 1).at(0), kDisplayCommandLine);

    HKEY restored = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    ::RegCloseKey(restored);
}

TEST_F(ShellItems, WallpaperReachesTheActiveDesktopByItsLongPath) {
    Open(PackageBuilder()
             .App("Wallpaper Demo")
             .Dir("InstallDir", "pictures")
             .File("Demo Wallpaper.bmp", "InstallDir", "pictures", PatternBytes(10))
             .Shell(skWallpaper, "InstallDir", "pictures", "Demo Wallpaper.bmp", ""));
    pack.Install();
    const std::vector<std::string> expected = {"Create", "SetWallpaper 0 [" + At("pictures\\Demo Wallpaper.bmp") + "]",
                                               "ApplyChanges 15", "Released"};
    EXPECT_EQ(WallpaperCalls(), expected);
}

TEST_F(ShellItems, WallpaperPathIsCutToNothingWhenItExceedsTheBuffer) {
    const std::string fits = "C:\\" + std::string(256, 'w');  // 259 characters
    pack.SetWallpaper(fits);
    pack.SetWallpaper(fits + "x");
    const std::vector<std::string> expected = {"Create", "SetWallpaper 0 [" + fits + "]", "ApplyChanges 15",
                                               "Released", "Create", "SetWallpaper 0 []", "ApplyChanges 15",
                                               "Released"};
    EXPECT_EQ(WallpaperCalls(), expected);
}

TEST_F(ShellItems, WallpaperObjectWithoutTheInterfaceRaisesInterfaceNotSupported) {
    ::SetEnvironmentVariableA("SETUP_TEST_WALLPAPER_REFUSE", "1");
    try {
        pack.SetWallpaper("C:\\demo.bmp");
        FAIL() << "no error";
    } catch (const EIntfCastError& error) {
        EXPECT_EQ(error.Message(), "Interface not supported");
    }
    EXPECT_EQ(WallpaperCalls(), (std::vector<std::string>{"Create", "Released"})) << "the object is let go";
}

TEST_F(ShellItems, MissingWallpaperObjectEndsTheRunWithAnOleError) {
    UnregisterActiveDesktop();
    Open(PackageBuilder()
             .App("Wallpaper Failure")
             .Dir("InstallDir", "")
             .File("demo.bmp", "InstallDir", "", PatternBytes(10))
             .Shell(skCreateGroup, "", "", "", "Setup Engine Wallpaper Failure")
             .Shell(skWallpaper, "InstallDir", "", "demo.bmp", "")
             .Shell(skAddItem, "InstallDir", "", "demo.bmp", "Never"));
    try {
        pack.Install();
        FAIL() << "no error";
    } catch (const EOleSysError& error) {
        // Wine says the class's key is missing where Windows says not registered.
        const auto code = static_cast<std::uint32_t>(error.ErrorCode());
        EXPECT_TRUE(code == 0x80040152u || code == 0x80040154u) << std::hex << code;
        char expected[32];
        std::snprintf(expected, sizeof expected, "OLE error %.8X", static_cast<unsigned>(code));
        EXPECT_EQ(error.Message(), expected) << "Wine has no text for this status";
    }
    ASSERT_EQ(log.Reports.size(), 3u);
    EXPECT_EQ(log.Reports.back().Text, "Create group") << "only the group record was reported";
    EXPECT_FALSE(FileExists(At(kUninstallDataFile)));
    EXPECT_TRUE(PumpUntil([] { return FolderExists(ProgramsFolder() + "\\Setup Engine Wallpaper Failure"); }, 20000));
    PumpUntil([] { return false; }, 1000);  // the item command, had it been sent, would have landed by now
    EXPECT_FALSE(FileExists(Link("Setup Engine Wallpaper Failure", "Never")));
}

}  // namespace
