// The fixture of the engine tests that reach the shell: a package built into a
// temporary folder and opened to install into FOLDER beside it, with the
// wallpaper and display control panel stand-ins logging there.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "tests/package/EngineTestSupport.h"

inline constexpr char kDesktopKey[] = "Control Panel\\desktop";
// What the display control panel stand-in logs when the engine opens it.
inline constexpr char kDisplayCommandLine[] = "CommandLine [rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1]";

class RecordedShell : public ::testing::Test {
protected:
    explicit RecordedShell(const std::string& folder) : installDir(dir.File(folder)) {}

    void SetUp() override {
        RegisterWallpaperRecorder(wallpaperLog);
        InstallDeskCplRecorder(deskLog);
    }
    void Open(const PackageBuilder& builder) {
        builder.WriteTo(packagePath);
        ASSERT_TRUE(pack.OpenPackage(packagePath, kFullReading));
        pack.SetInstallDir(installDir);
        pack.SetOnProgress(log.Event());
    }
    std::string At(const std::string& name) const { return installDir + "\\" + name; }

    TempDir dir;
    std::string packagePath = dir.File("setup.exe");
    std::string installDir;
    std::string wallpaperLog = dir.File("wallpaper.log");
    std::string deskLog = dir.File("desk.log");
    TVazuravAzoz pack;
    ProgressLog log;
};
