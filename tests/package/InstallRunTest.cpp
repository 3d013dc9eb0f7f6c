// The install run under Wine: folders, files, registry, uninstall data, the
// progress reports, and each failure with its message and what stays done.
#include <gtest/gtest.h>

#include <cstring>

#include "package/CompressedReading.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/Handles.h"
#include "tests/package/EngineTestSupport.h"

using namespace RecordHead;

namespace {

constexpr std::uint32_t kHkcr = 0x80000000u, kHkcu = 0x80000001u, kHklm = 0x80000002u, kHku = 0x80000003u;

class InstallRun : public ::testing::Test {
protected:
    void Open(const PackageBuilder& builder) { OpenBytes(builder.Build()); }
    // Each package gets a file of its own: the package object holds the one
    // it opened before against writers.
    void OpenBytes(const Bytes& bytes) {
        packagePath = dir.File("setup" + std::to_string(++packages) + ".exe");
        WriteFileBytes(packagePath, bytes);
        ASSERT_TRUE(pack.OpenPackage(packagePath, kFullReading));
        pack.SetInstallDir(installDir + "\\");  // stored without the backslash
        pack.SetOnProgress(log.Event());
    }
    std::string At(const std::string& name) const { return installDir + "\\" + name; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& r : log.Reports) texts.push_back(r.Text);
        return texts;
    }
    template <typename E>
    std::string InstallFailsWith() {
        return InstallFailureOf<E>(pack);
    }
    bool UninstallRegistered(const std::string& app) const {
        return RegKeyExists(HKEY_LOCAL_MACHINE, UninstallContract::RegistrationKeyOf(app));
    }

    TempDir dir;
    std::string packagePath;
    int packages = 0;
    std::string installDir = dir.File("Demo Application Folder");
    TVazuravAzoz pack;
    ProgressLog log;
};

TEST_F(InstallRun, ExtractsEveryFileByteForByte) {
    const Bytes big = PatternBytes(3 * 0xF000 + 123, 2);
    const Bytes exact = PatternBytes(0xF000, 3);
    const Bytes oneLess = PatternBytes(0xF000 - 1, 4);
    const Bytes oneMore = PatternBytes(0xF000 + 1, 5);
    const Bytes nested = TextBytes("in a sub-folder");
    Open(PackageBuilder()
             .App("Extract Test")
             .Stub(PatternBytes(7000, 9))
             .Dir("InstallDir", "")
             .Dir("InstallDir", "data\\deeper")
             .File("empty.dat", "InstallDir", "", {})
             .File("big.bin", "InstallDir", "", big)
             .File("exact.bin", "InstallDir", "", exact)
             .File("one-less.bin", "InstallDir", "", oneLess)
             .File("one-more.bin", "InstallDir", "", oneMore)
             .File("nested.txt", "InstallDir", "data\\deeper", nested)
             .File("same.txt", "InstallDir", "", TextBytes("the first and longer version"))
             .File("same.txt", "InstallDir", "", TextBytes("second")));
    pack.Install();

    EXPECT_TRUE(FileExists(At("empty.dat")));
    EXPECT_TRUE(ReadFileBytes(At("empty.dat")).empty());
    EXPECT_EQ(ReadFileBytes(At("big.bin")), big);
    EXPECT_EQ(ReadFileBytes(At("exact.bin")), exact);
    EXPECT_EQ(ReadFileBytes(At("one-less.bin")), oneLess);
    EXPECT_EQ(ReadFileBytes(At("one-more.bin")), oneMore);
    EXPECT_EQ(ReadFileBytes(At("data\\deeper\\nested.txt")), nested);
    EXPECT_EQ(ReadText(At("same.txt")), "second") << "the second entry replaces the first, truncated";
}

TEST_F(InstallRun, ReportsFoldersThenFilesThenShellRecordsButNotTheRegistry) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);  // an existing folder still reports
    Open(PackageBuilder()
             .App("Progress Test")
             .Dir("InstallDir", "")
             .Dir("InstallDir", "bin")
             .File("a.txt", "InstallDir", "", TextBytes("a"))
             .File("b.txt", "InstallDir", "bin", TextBytes("b"))
             .Reg(kHkcu, "Software\\SetupEngineTest\\Progress", "One", "1")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Progress", "Two", "2")
             .Shell(skNone, "", "", "", "")
             .Shell(7, "", "", "", ""));
    pack.Install();

    const std::vector<std::string> expected = {"Create directory " + installDir, "Create directory " + At("bin"),
                                               "Copy file " + At("a.txt"), "Copy file " + At("bin\\b.txt"),
                                               "Create group", "Create group"};
    EXPECT_EQ(Texts(), expected);
    for (std::size_t i = 0; i < log.Reports.size(); ++i) EXPECT_EQ(log.Reports[i].Position, std::int32_t(i + 1));
    EXPECT_EQ(log.LastSender, &pack);
    EXPECT_EQ(pack.GetPosition(), 6);
    EXPECT_EQ(pack.GetTotalSteps(), 8) << "the two registry records are counted but never reported";

    log.Reports.clear();
    pack.Install();  // a second run counts from 0 again
    ASSERT_FALSE(log.Reports.empty());
    EXPECT_EQ(log.Reports.front().Position, 1);
}

TEST_F(InstallRun, RegistersTheUninstallerByItsShortPathWhenItIsInstalled) {
    Open(PackageBuilder()
             .App("Short Path Demo")
             .Dir("InstallDir", "")
             .File("Uninstall.exe", "InstallDir", "", PatternBytes(100)));
    pack.Install();

    const std::string key = UninstallContract::RegistrationKeyOf("Short Path Demo");
    DWORD type = 0;
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, key, "DisplayName", &type), "Short Path Demo");
    EXPECT_EQ(type, DWORD(REG_SZ));
    const std::string shortPath = ShortPathOf(At("Uninstall.exe"));
    ASSERT_NE(shortPath.find('~'), std::string::npos) << "the folder has a long name, so the form differs";
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, key, "UninstallString"), shortPath);
}

TEST_F(InstallRun, RegistersTheLongPathWhenThereIsNoUninstaller) {
    Open(PackageBuilder().App("Long Path Demo").Dir("InstallDir", ""));
    pack.Install();
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, UninstallContract::RegistrationKeyOf("Long Path Demo"), "UninstallString"),
              At("Uninstall.exe"));
}

TEST_F(InstallRun, WritesPackageValuesBelowTheirRawRootsWithTheMacroExpandedOnce) {
    Open(PackageBuilder()
             .App("Registry Demo")
             .Dir("InstallDir", "")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Values", "Command", "{InstallDir}\\demo.exe /s {InstallDir}")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Values", "Plain", "no macro, {installdir} in lower case")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Values", "Empty", "")
             .Reg(kHklm, "\\Software\\SetupEngineTest\\Made\\On\\Demand", "Version", "1.0")
             .Reg(kHku, ".DEFAULT\\Software\\SetupEngineTest", "Users", "{InstallDir}")
             .Reg(kHkcr, "SetupEngineTest.Document\\shell\\open\\command", "", "\"{InstallDir}\\demo.exe\" \"%1\""));
    pack.Install();

    DWORD type = 0;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\SetupEngineTest\\Values", "Command", &type),
              installDir + "\\demo.exe /s {InstallDir}");
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\SetupEngineTest\\Values", "Plain"),
              "no macro, {installdir} in lower case");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\SetupEngineTest\\Values", "Empty"), "");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "Software\\SetupEngineTest\\Made\\On\\Demand", "Version"), "1.0");
    EXPECT_EQ(ReadRegString(HKEY_USERS, ".DEFAULT\\Software\\SetupEngineTest", "Users"), installDir);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, "SetupEngineTest.Document\\shell\\open\\command", ""),
              "\"" + installDir + "\\demo.exe\" \"%1\"");
}

TEST_F(InstallRun, WritesTheUninstallDataFileWithThePackageTables) {
    Open(PackageBuilder()
             .App("Uninstall Data Demo")
             .Stub(PatternBytes(1000))
             .Dir("InstallDir", "")
             .File("a.txt", "InstallDir", "", TextBytes("a"))
             .Shell(skNone, "InstallDir", "", "a.txt", "A")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Data", "X", "{InstallDir}"));
    pack.Install();

    TVazuravAzoz reread;
    ASSERT_TRUE(reread.OpenPackage(At(kUninstallDataFile), kFullReading));
    EXPECT_EQ(reread.GetAppName(), "Uninstall Data Demo");
    EXPECT_EQ(reread.GetTotalSteps(), 4);
    ASSERT_EQ(reread.GetFiles().size(), 1u);
    EXPECT_EQ(std::memcmp(&reread.GetFiles()[0], &pack.GetFiles()[0], sizeof(TFileItem)), 0) << "offsets unchanged";
    ASSERT_EQ(reread.GetRegItems().size(), 1u);
    EXPECT_EQ(reread.GetRegItems()[0].ValueData.Text(), "{InstallDir}") << "macros stay unexpanded";
}

TEST_F(InstallRun, EmptyPackageStillRegistersAndWritesUninstallData) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    Open(PackageBuilder().App("Empty Demo"));
    pack.Install();
    EXPECT_TRUE(log.Reports.empty());
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, UninstallContract::RegistrationKeyOf("Empty Demo"), "DisplayName"),
              "Empty Demo");
    EXPECT_EQ(ReadFileBytes(At(kUninstallDataFile)).size(), sizeof(TPackHeader));
}

// Failures: each ends the run with its message and leaves what was done.

TEST_F(InstallRun, FileInAMissingFolderStopsTheRunWithACreateError) {
    Open(PackageBuilder()
             .App("Missing Folder Demo")
             .Dir("InstallDir", "")
             .File("a.txt", "InstallDir", "", TextBytes("a"))
             .File("b.txt", "InstallDir", "missing", TextBytes("b"))
             .File("c.txt", "InstallDir", "", TextBytes("c"))
             .Shell(skNone, "", "", "", ""));
    EXPECT_EQ(InstallFailsWith<EFCreateError>(), "Cannot create file \"" + At("missing\\b.txt") + "\". Path not found");
    EXPECT_EQ(ReadText(At("a.txt")), "a");
    EXPECT_FALSE(FileExists(At("c.txt")));
    EXPECT_FALSE(UninstallRegistered("Missing Folder Demo")) << "the registry step never ran";
    EXPECT_FALSE(FileExists(At(kUninstallDataFile)));
    ASSERT_FALSE(log.Reports.empty());
    EXPECT_EQ(log.Reports.back().Text, "Copy file " + At("a.txt"));
}

TEST_F(InstallRun, LockedTargetStopsTheRunAndKeepsItsContent) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    WriteFileBytes(At("locked.txt"), TextBytes("keep me"));
    Open(PackageBuilder()
             .App("Locked Demo")
             .File("first.txt", "InstallDir", "", TextBytes("1"))
             .File("locked.txt", "InstallDir", "", TextBytes("replacement")));
    {
        UniqueFile lock(::CreateFileA(At("locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(bool(lock));
        EXPECT_EQ(InstallFailsWith<EFCreateError>(),
                  "Cannot create file \"" + At("locked.txt") + "\". Sharing violation");
    }
    EXPECT_EQ(ReadText(At("locked.txt")), "keep me");
    EXPECT_EQ(ReadText(At("first.txt")), "1");
    EXPECT_FALSE(UninstallRegistered("Locked Demo"));
}

TEST_F(InstallRun, TargetThatNamesAFolderCannotBeCreated) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    ::CreateDirectoryA(At("taken.txt").c_str(), nullptr);
    Open(PackageBuilder().App("Folder In The Way").File("taken.txt", "InstallDir", "", TextBytes("x")));
    EXPECT_EQ(InstallFailsWith<EFCreateError>(), "Cannot create file \"" + At("taken.txt") + "\". Access denied");
    EXPECT_TRUE(FolderExists(At("taken.txt")));
}

TEST_F(InstallRun, TruncatedPackageRaisesReadErrorBeforeTouchingTheTarget) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    Bytes bytes = PackageBuilder()
                      .App("Truncated Demo")
                      .File("good.txt", "InstallDir", "", TextBytes("good"))
                      .File("precious.txt", "InstallDir", "", TextBytes("package bytes"))
                      .Build();
    const auto fileSize = static_cast<std::uint32_t>(bytes.size());
    // Past the end by one byte, wholly past it, and wrapping around 32 bits.
    const std::pair<std::uint32_t, std::uint32_t> extents[] = {
        {fileSize - 10, 11}, {fileSize + 5, 1}, {0xFFFFFF00u, 0x200u}};
    for (const auto& [offset, size] : extents) {
        SCOPED_TRACE(offset);
        WriteFileBytes(At("precious.txt"), TextBytes("existing file"));
        PatchFileItem(bytes, 1, offset, size);
        OpenBytes(bytes);
        log.Reports.clear();
        EXPECT_EQ(InstallFailsWith<EReadError>(), "Stream read error");
        EXPECT_EQ(ReadText(At("precious.txt")), "existing file") << "not created or truncated";
        EXPECT_EQ(ReadText(At("good.txt")), "good");
        EXPECT_EQ(Texts(), std::vector<std::string>{"Copy file " + At("good.txt")});
    }
    // Bytes that end exactly at the end of the file are there to copy.
    PatchFileItem(bytes, 1, fileSize - 10, 10);
    OpenBytes(bytes);
    pack.Install();
    EXPECT_EQ(ReadFileBytes(At("precious.txt")), Bytes(bytes.end() - 10, bytes.end()));
}

TEST_F(InstallRun, RegistryValueThatCannotBeWrittenEndsTheRun) {
    Open(PackageBuilder()
             .App("Registry Failure Demo")
             .Dir("InstallDir", "")
             .File("a.txt", "InstallDir", "", TextBytes("a"))
             .Reg(kHkcu, "Software\\SetupEngineTest\\Failure", "Before", "written")
             .Reg(0x12345678u, "Software\\SetupEngineTest", "Broken", "never")
             .Reg(kHkcu, "Software\\SetupEngineTest\\Failure", "After", "not written")
             .Shell(skNone, "", "", "", ""));
    EXPECT_EQ(InstallFailsWith<ERegistryException>(), "Failed to set data for 'Broken'");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\SetupEngineTest\\Failure", "Before"), "written");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\SetupEngineTest\\Failure", "After"), std::nullopt);
    EXPECT_TRUE(UninstallRegistered("Registry Failure Demo"));
    EXPECT_EQ(ReadText(At("a.txt")), "a");
    EXPECT_EQ(log.Reports.size(), 2u) << "no shell record was processed";
    EXPECT_FALSE(FileExists(At(kUninstallDataFile)));
}

TEST_F(InstallRun, FolderThatCannotBeCreatedIsAnErrorNotSilence) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    WriteFileBytes(At("blocker"), TextBytes("a file where a folder should go"));
    Open(PackageBuilder()
             .App("Folder Failure Demo")
             .Dir("InstallDir", "fine")
             .Dir("InstallDir", "blocker\\sub")
             .Dir("InstallDir", "later")
             .File("a.txt", "InstallDir", "fine", TextBytes("a")));
    try {
        pack.Install();
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "Unable to create directory \"" + At("blocker\\sub") + "\"");
        EXPECT_NE(error.ErrorCode(), 0);
    }
    EXPECT_TRUE(FolderExists(At("fine")));
    EXPECT_FALSE(FolderExists(At("later")));
    EXPECT_FALSE(FileExists(At("fine\\a.txt")));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Create directory " + At("fine")});
}

TEST_F(InstallRun, FolderThatForceDirsPassesOverIsAnErrorToo) {
    ::CreateDirectoryA(installDir.c_str(), nullptr);
    Open(PackageBuilder().App("Doubled Backslash Demo").Dir("InstallDir", "new\\\\"));
    try {
        pack.Install();
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "Unable to create directory \"" + At("new\\\\") + "\"");
    }
    EXPECT_FALSE(FolderExists(At("new")));
}

TEST_F(InstallRun, FolderWithAnEmptyNameRaisesUnableToCreateDirectory) {
    Open(PackageBuilder().App("Empty Folder Demo").Dir("InstallDir", "ok").Dir("NoSuchKeyword", ""));
    try {
        pack.Install();
        FAIL() << "no error";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.Message(), "Unable to create directory");
        EXPECT_EQ(error.ErrorCode(), 3);
    }
    EXPECT_TRUE(FolderExists(At("ok")));
}

// The package stays open from the start: while it waits, no one can delete,
// rename or write the file, and the bytes installed are those read at the
// start. (It used to be opened again by name for the copy.)
TEST_F(InstallRun, PackageFileCannotBeChangedWhileTheInstallWaits) {
    const Bytes data = PatternBytes(3 * 0xF000 + 5, 7);
    Open(PackageBuilder().App("Held Demo").Dir("InstallDir", "").File("a.bin", "InstallDir", "", data));
    EXPECT_FALSE(::DeleteFileA(packagePath.c_str()));
    EXPECT_FALSE(::MoveFileA(packagePath.c_str(), (packagePath + ".old").c_str()));
    const UniqueFile writer(::CreateFileA(packagePath.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(writer) << "the package could be opened for writing";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    pack.Install();
    EXPECT_EQ(ReadFileBytes(At("a.bin")), data);
}

}  // namespace
