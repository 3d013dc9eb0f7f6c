// SaveUninstallData on a real Windows file system (Wine): the layout of
// the uninstall data file, replacing an old one, reading it back as a package, and
// the error when the install folder is missing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "package/CompressedReading.h"
#include "package/UninstallContract.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"
#include "tests/support/TestFiles.h"

using namespace RecordHead;

namespace {

constexpr std::size_t kHeader = 552, kFile = 776, kDir = 512, kShell = 1025, kReg = 1668;

using LittleEndian::Load32;
using LittleEndian::Store32;

struct Places {
    std::uint32_t regCount, regOffset, fileCount, fileOffset, shellCount, shellOffset, dirCount, dirOffset;
};
Places PlacesIn(const Bytes& file) {
    const std::size_t h = file.size() - kHeader;
    return {Load32(file, h + 520), Load32(file, h + 524), Load32(file, h + 528), Load32(file, h + 532),
            Load32(file, h + 536), Load32(file, h + 540), Load32(file, h + 544), Load32(file, h + 548)};
}

// A setup executable stand-in with a package of the given table sizes.
PackageBuilder Package(int files, int dirs, int shells, int regs) {
    PackageBuilder builder;
    builder.App("Demo", "Ann Author", "ann@example.com", "https://example.com").Stub(PatternBytes(3000, 7));
    for (int i = 0; i < files; ++i)
        builder.File("file" + std::to_string(i) + ".bin", "InstallDir", "data", PatternBytes(100 + i, i));
    for (int i = 0; i < dirs; ++i) builder.Dir("InstallDir", "data\\" + std::to_string(i));
    for (int i = 0; i < shells; ++i) builder.Shell(skAddItem, "InstallDir", "", "demo.exe", "Demo " + std::to_string(i));
    for (int i = 0; i < regs; ++i)
        builder.Reg(0x80000001u, "Software\\Demo", "Value" + std::to_string(i), "{InstallDir}\\demo.exe");
    return builder;
}

class UninstallData : public ::testing::Test {
protected:
    // Opens `package` (written as setup.exe) and saves the uninstall data into
    // the install folder; returns the file's bytes.
    Bytes Save(const Bytes& package) {
        WriteFileBytes(dir_.File("setup.exe"), package);
        EXPECT_TRUE(pack_.OpenPackage(dir_.File("setup.exe"), kFullReading));
        ::CreateDirectoryA(InstallDir().c_str(), nullptr);
        pack_.SetInstallDir(InstallDir());
        pack_.SaveUninstallData();
        return ReadFileBytes(DataFile());
    }
    std::string InstallDir() const { return dir_.File("Demo App"); }
    std::string DataFile() const { return UninstallContract::DataFileIn(InstallDir()); }

    TempDir dir_;
    TVazuravAzoz pack_;
};

}  // namespace

TEST_F(UninstallData, TablesFromOffsetZeroThenTheHeader) {
    const Bytes file = Save(Package(2, 1, 0, 3).Build());
    EXPECT_EQ(file.size(), 2 * kFile + kDir + 3 * kReg + kHeader);
    const Places p = PlacesIn(file);
    EXPECT_EQ(p.fileCount, 2u);
    EXPECT_EQ(p.fileOffset, 0u);
    EXPECT_EQ(p.dirCount, 1u);
    EXPECT_EQ(p.dirOffset, 1552u);
    EXPECT_EQ(p.shellCount, 0u);
    EXPECT_EQ(p.shellOffset, 2064u);
    EXPECT_EQ(p.regCount, 3u);
    EXPECT_EQ(p.regOffset, 2064u);
    // The records as loaded: file offsets still into setup.exe, keywords and
    // macros untouched.
    EXPECT_EQ(std::memcmp(file.data(), pack_.GetFiles().data(), 2 * kFile), 0);
    EXPECT_EQ(std::memcmp(file.data() + 1552, pack_.GetDirs().data(), kDir), 0);
    EXPECT_EQ(std::memcmp(file.data() + 2064, pack_.GetRegItems().data(), 3 * kReg), 0);
    EXPECT_GE(pack_.GetFiles()[0].Offset.Get(), 3000u);
    EXPECT_EQ(pack_.GetRegItems()[2].ValueData.Text(), "{InstallDir}\\demo.exe");
}

TEST_F(UninstallData, EveryTableKindAtItsPlace) {
    const Bytes file = Save(Package(1, 2, 3, 1).Build());
    EXPECT_EQ(file.size(), kFile + 2 * kDir + 3 * kShell + kReg + kHeader);
    const Places p = PlacesIn(file);
    EXPECT_EQ(p.dirOffset, kFile);
    EXPECT_EQ(p.shellOffset, kFile + 2 * kDir);
    EXPECT_EQ(p.regOffset, kFile + 2 * kDir + 3 * kShell);
    EXPECT_EQ(std::memcmp(file.data() + p.shellOffset, pack_.GetShellItems().data(), 3 * kShell), 0);
}

TEST_F(UninstallData, EmptyPackageIsAHeaderAlone) {
    const Bytes file = Save(Package(0, 0, 0, 0).Build());
    ASSERT_EQ(file.size(), kHeader);
    const Places p = PlacesIn(file);
    EXPECT_EQ(p.fileOffset | p.dirOffset | p.shellOffset | p.regOffset, 0u);
    EXPECT_EQ(p.fileCount | p.dirCount | p.shellCount | p.regCount, 0u);
}

TEST_F(UninstallData, HeaderCarriesOnlyMagicNameAndPlaces) {
    Bytes package = Package(1, 1, 1, 1).Build();
    // What must not be carried over: bytes after the name's NUL and Reserved.
    const std::size_t trailer = package.size() - kHeader;
    std::memcpy(&package[trailer + 4 + 5], "leftover", 8);
    Store32(package, trailer + 516, 0xDEADBEEF);
    const Bytes file = Save(package);

    Bytes expected(kHeader, 0);
    std::memcpy(expected.data(), "qzx", 3);
    std::memcpy(expected.data() + 4, "Demo", 4);
    const std::uint32_t places[] = {1, kFile + kDir + kShell, 1, 0, 1, kFile + kDir, 1, kFile};
    for (std::size_t i = 0; i < 8; ++i) Store32(expected, 520 + 4 * i, places[i]);
    EXPECT_EQ(Bytes(file.end() - kHeader, file.end()), expected);
}

TEST_F(UninstallData, NameFillingItsFieldHasNoNul) {
    const std::string name(256, 'N');
    const Bytes file = Save(Package(0, 1, 0, 0).App(name).Build());
    EXPECT_EQ(std::string(file.end() - kHeader + 4, file.end() - kHeader + 260), name);
    EXPECT_EQ(Load32(file, file.size() - kHeader + 516), 0u);
}

TEST_F(UninstallData, ExistingFileIsReplaced) {
    ::CreateDirectoryA(InstallDir().c_str(), nullptr);
    WriteFileBytes(DataFile(), PatternBytes(50000, 3));
    const Bytes file = Save(Package(1, 0, 0, 0).Build());
    EXPECT_EQ(file.size(), kFile + kHeader);
    EXPECT_EQ(PlacesIn(file).fileCount, 1u);
}

TEST_F(UninstallData, OneTrailingBackslashOfTheInstallFolderIsDropped) {
    WriteFileBytes(dir_.File("setup.exe"), Package(0, 1, 0, 0).Build());
    ASSERT_TRUE(pack_.OpenPackage(dir_.File("setup.exe"), kFullReading));
    ::CreateDirectoryA(InstallDir().c_str(), nullptr);
    pack_.SetInstallDir(InstallDir() + "\\");
    pack_.SaveUninstallData();
    EXPECT_EQ(ReadFileBytes(DataFile()).size(), kDir + kHeader);
}

TEST_F(UninstallData, OpensAgainAsTheSamePackage) {
    Save(Package(2, 2, 2, 2).Build());
    TVazuravAzoz back;
    ASSERT_TRUE(back.OpenPackage(DataFile(), kFullReading));
    EXPECT_EQ(back.GetAppName(), "Demo");
    EXPECT_EQ(back.GetAuthor(), "");
    EXPECT_EQ(back.GetTotalSteps(), 8);
    auto same = [](const auto& a, const auto& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0;
    };
    EXPECT_TRUE(same(back.GetFiles(), pack_.GetFiles()));
    EXPECT_TRUE(same(back.GetDirs(), pack_.GetDirs()));
    EXPECT_TRUE(same(back.GetShellItems(), pack_.GetShellItems()));
    EXPECT_TRUE(same(back.GetRegItems(), pack_.GetRegItems()));
}

TEST_F(UninstallData, MissingInstallFolderRaisesCreateErrorWithTheFullPath) {
    WriteFileBytes(dir_.File("setup.exe"), Package(1, 0, 0, 0).Build());
    ASSERT_TRUE(pack_.OpenPackage(dir_.File("setup.exe"), kFullReading));
    const std::string missing = dir_.File("never created");
    pack_.SetInstallDir(missing);
    try {
        pack_.SaveUninstallData();
        FAIL() << "nothing raised";
    } catch (const EFCreateError& e) {
        char text[512];
        const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                              ERROR_PATH_NOT_FOUND, 0, text, sizeof text, nullptr);
        const std::string systemText = ErrorText::TrimSystemText(std::string_view(text, length));
        ASSERT_FALSE(systemText.empty());
        EXPECT_STREQ(e.TypeName(), "EFCreateError");
        EXPECT_EQ(e.Message(), "Cannot create file \"" + UninstallContract::DataFileIn(missing) + "\". " + systemText);
    }
    EXPECT_EQ(::GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}
