// Tests that need their Wine prefix prepared first, each run by a script:
//   NoProgMan.*          explorer.exe disabled, so no Program Manager service
//   ScreenSaverWin9x.*   the prefix's Windows version set to 98 (class 5)
//   ScreenSaverWin2000.* ... set to 2000 (class 6)
//   ScreenSaverClass0.*  ... set to 3.1 (class 0)
//   Inspection.*         installs a demo package the script then inspects
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <fstream>

#include "package/CompressedReading.h"
#include "package/DdeInstance.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/Handles.h"
#include "system/uCustomModule.h"
#include "tests/package/EngineTestSupport.h"
#include "tests/package/RecordedShellFixture.h"

using namespace RecordHead;

namespace {

std::vector<DWORD> ProcessIds(const char* exeName) {
    std::vector<DWORD> ids;
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry))
        if (::lstrcmpiA(entry.szExeFile, exeName) == 0) ids.push_back(entry.th32ProcessID);
    return ids;
}

// Ends the Program Manager the install started in this prefix.
void EndProcesses(const std::vector<DWORD>& ids) {
    for (DWORD id : ids) {
        UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        ::TerminateProcess(process.get(), 0);
        ::WaitForSingleObject(process.get(), 10000);
    }
}

void SetRegValue(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    UniqueRegKey opened;
    ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.put(), nullptr);
    ::RegSetValueExA(opened.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
}

std::string SystemIni() { return GetWindowsDir() + "\\system.ini"; }

std::optional<std::string> IniScreenSaver() {
    char value[MAX_PATH];
    const DWORD n = ::GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "<absent>", value, sizeof value,
                                               SystemIni().c_str());
    const std::string text(value, n);
    return text == "<absent>" ? std::nullopt : std::optional<std::string>(text);
}

class PreparedPrefix : public RecordedShell {
protected:
    PreparedPrefix() : RecordedShell("Prepared Demo Folder") {}
    PackageBuilder SaverPackage(const std::string& saverFile) const {
        PackageBuilder builder;
        builder.App("Saver Demo").Dir("InstallDir", "");
        builder.File("Demo Screen Saver.scr", "InstallDir", "", PatternBytes(9));
        builder.Shell(skScreenSaver, "InstallDir", "", saverFile, "").Shell(skNone, "", "", "", "");
        return builder;
    }
};

using NoProgMan = PreparedPrefix;

TEST_F(NoProgMan, NothingIsProcessedWithoutTheProgramManager) {
    {
        HSZ name = ::DdeCreateStringHandleA(TDdeInstance::Id(), "ProgMan", CP_WINANSI);
        const HCONV probe = ::DdeConnect(TDdeInstance::Id(), name, name, nullptr);
        ::DdeFreeStringHandle(TDdeInstance::Id(), name);
        ASSERT_EQ(probe, nullptr) << "the prefix must have no Program Manager service";
    }
    SetRegValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE", "before");
    const auto before = ProcessIds("progman.exe");
    Open(PackageBuilder()
             .App("No ProgMan Demo")
             .Dir("InstallDir", "")
             .File("demo.scr", "InstallDir", "", PatternBytes(9))
             .Shell(skCreateGroup, "", "", "", "Setup Engine Unreached")
             .Shell(skAddItem, "InstallDir", "", "demo.scr", "Unreached")
             .Shell(skScreenSaver, "InstallDir", "", "demo.scr", "")
             .Shell(skWallpaper, "InstallDir", "", "demo.scr", "")
             .Shell(skNone, "", "", "", ""));
    EXPECT_NO_THROW(pack.Install());

    const auto after = ProcessIds("progman.exe");
    EXPECT_GT(after.size(), before.size()) << "the one attempt to start the Program Manager";
    EndProcesses(after);
    EXPECT_EQ(pack.GetPosition(), 2) << "the folder and the file only";
    EXPECT_EQ(log.Reports.back().Text, "Copy file " + At("demo.scr"));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "before");
    EXPECT_FALSE(FileExists(wallpaperLog));
    PumpUntil([] { return false; }, 2000);  // a display panel, had one started, would have logged by now
    EXPECT_FALSE(FileExists(deskLog));
    EXPECT_FALSE(FolderExists(ProgramsFolder() + "\\Setup Engine Unreached"));
    EXPECT_TRUE(FileExists(At(kUninstallDataFile))) << "the run goes on";
}

TEST_F(NoProgMan, EmptyShellTableStillTriesTheProgramManager) {
    const auto before = ProcessIds("progman.exe");
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    Open(PackageBuilder().App("No ProgMan Empty"));
    pack.Install();
    const auto after = ProcessIds("progman.exe");
    EXPECT_GT(after.size(), before.size());
    EndProcesses(after);
    EXPECT_TRUE(log.Reports.empty());
}

using ScreenSaverWin9x = PreparedPrefix;

TEST_F(ScreenSaverWin9x, GoesToSystemIniAsShortPath) {
    ASSERT_EQ(GetWinVersion(), wc98SE);
    SetRegValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE", "untouched");
    Open(SaverPackage("Demo Screen Saver.scr"));
    pack.Install();
    const std::string shortPath = ShortPathOf(At("Demo Screen Saver.scr"));
    ASSERT_NE(shortPath.find('~'), std::string::npos);
    EXPECT_EQ(IniScreenSaver(), shortPath);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "untouched");
    EXPECT_EQ(WaitForLogLines(deskLog, 1).at(0), kDisplayCommandLine);
    EXPECT_EQ(log.Reports.size(), 4u);
}

TEST_F(ScreenSaverWin9x, MissingFileWritesAnEmptyValue) {
    Open(SaverPackage("missing.scr"));
    pack.Install();
    EXPECT_EQ(IniScreenSaver(), "");
}

TEST_F(ScreenSaverWin9x, UnwritableSystemIniEndsTheRun) {
    const std::string ini = SystemIni(), saved = ini + ".saved";
    ASSERT_TRUE(::MoveFileA(ini.c_str(), saved.c_str()));
    ASSERT_TRUE(::CreateDirectoryA(ini.c_str(), nullptr));  // a folder where the file should be
    Open(SaverPackage("Demo Screen Saver.scr"));
    try {
        pack.Install();
        ADD_FAILURE() << "no error";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + ini);
    }
    ::RemoveDirectoryA(ini.c_str());
    ::MoveFileA(saved.c_str(), ini.c_str());
    EXPECT_EQ(log.Reports.size(), 2u) << "the saver record and the one after it report nothing";
    EXPECT_FALSE(FileExists(At(kUninstallDataFile)));
}

using ScreenSaverWin2000 = PreparedPrefix;

TEST_F(ScreenSaverWin2000, GoesToTheDesktopKey) {
    ASSERT_EQ(GetWinVersion(), wc2000);
    ::WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "untouched", SystemIni().c_str());
    Open(SaverPackage("Demo Screen Saver.scr"));
    pack.Install();
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), ShortPathOf(At("Demo Screen Saver.scr")));
    EXPECT_EQ(IniScreenSaver(), "untouched");
}

using ScreenSaverClass0 = PreparedPrefix;

TEST_F(ScreenSaverClass0, WritesNothingButStillOpensTheDisplayPanel) {
    ASSERT_EQ(GetWinVersion(), wcUnknown);
    ::WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "untouched", SystemIni().c_str());
    SetRegValue(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE", "untouched");
    Open(SaverPackage("Demo Screen Saver.scr"));
    pack.Install();
    EXPECT_EQ(IniScreenSaver(), "untouched");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kDesktopKey, "SCRNSAVE.EXE"), "untouched");
    EXPECT_EQ(WaitForLogLines(deskLog, 1).at(0), kDisplayCommandLine);
    EXPECT_EQ(log.Reports.size(), 4u);
}

// Installs into fixed places for the script to inspect from outside.
TEST(Inspection, InstallsTheDemoPackage) {
    const std::string root = "C:\\Setup Inspection", sources = root + "\\sources";
    ASSERT_TRUE(ForceDirs(sources));
    const std::pair<std::string, Bytes> files[] = {
        {"empty.dat", {}},
        {"exact.bin", PatternBytes(0xF000, 7)},
        {"large.bin", PatternBytes(2 * 0xF000 + 1, 8)},
        {"Uninstall.exe", PatternBytes(300, 9)},
        {"demo.exe", PatternBytes(5000, 10)},
    };
    PackageBuilder builder;
    builder.App("Inspection Demo").Stub(PatternBytes(2048)).Dir("InstallDir", "");
    for (const auto& [name, bytes] : files) {
        WriteFileBytes(sources + "\\" + name, bytes);
        builder.File(name, "InstallDir", "", bytes);
    }
    builder.File("same.txt", "InstallDir", "", TextBytes("first, replaced"));
    builder.File("same.txt", "InstallDir", "", TextBytes("second"));
    WriteFileBytes(sources + "\\same.txt", TextBytes("second"));
    builder.Reg(0x80000001u, "Software\\SetupInspection", "Command", "{InstallDir}\\demo.exe /s {InstallDir}")
        .Reg(0x80000002u, "Software\\SetupInspection", "Version", "1.0")
        .Shell(skCreateGroup, "", "", "", "Inspection Demo")
        .Shell(skAddItem, "InstallDir", "", "demo.exe", "Demo App");
    builder.WriteTo(root + "\\setup.exe");

    TVazuravAzoz pack;
    ASSERT_TRUE(pack.OpenPackage(root + "\\setup.exe", kFullReading));
    pack.SetInstallDir(root + "\\Demo App");
    pack.Install();
    const std::string link = ProgramsFolder() + "\\Inspection Demo\\Demo App.lnk";
    EXPECT_TRUE(PumpUntil([&] { return FileExists(link); }, 20000));
    EXPECT_TRUE(CloseFolderWindows());
    // What the script compares the registry's UninstallString with.
    const std::string shortPath = ShortPathOf(root + "\\Demo App\\Uninstall.exe");
    WriteFileBytes(root + "\\expected-uninstall.txt", TextBytes(shortPath));
}

}  // namespace
