#include "package/CompressedReading.h"
#include "tools/build/PackageBuild.h"

#include <gtest/gtest.h>

#include <cstring>

#include "package/PackageReader.h"
#include "system/FileStream.h"
#include "tests/tools/ToolTestFiles.h"
#include "tools/platform/Platform.h"
#include "tools/examine/PackageListing.h"

using namespace RecordHead;

namespace {

class BuildTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("bin/Uninstall.exe", PatternBytes(100, 1));
        pkg.Put("data/big.bin", PatternBytes(200000, 2));  // several writer buffers
        pkg.Put("data/empty.bin", {});
        pkg.Describe(R"toml([package]
name = "Demo"
author = "Ann"
registration = false
[[file]]
source = "bin/Uninstall.exe"
[[file]]
source = "data/*.bin"
folder = "data"
[[registry]]
root = "HKCU"
key = 'Software\Demo'
value = "{InstallDir}"
[[shell]]
group = "Demo"
)toml");
    }

    std::string Out(const std::string& name) const { return pkg.Dir().File(name); }
    // Every name in the scratch folder's top level.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(pkg.Dir().Path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    TDescribedPackage pkg;
};

TEST_F(BuildTest, WritesStubDataTablesAndHeaderThatTheSetupProgramReads) {
    const std::string out = Out("Demo-setup.exe");
    const TBuildSummary summary = WritePackage(pkg.ReadClean(), out);
    const Bytes bytes = ReadFileBytes(out);
    EXPECT_EQ(summary.Size, bytes.size());
    const Bytes stub = ReadFileBytes(pkg.Dir().File("stub.exe"));
    ASSERT_GE(bytes.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), bytes.begin()));

    const std::optional<TPackageContents> packageRead = ReadPackageFile(out, kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    EXPECT_EQ(package.AppName(), "Demo");
    EXPECT_EQ(package.Header.Author.Text(), "Ann");
    EXPECT_EQ(package.Tables.Dirs.size() + package.Tables.ShellItems.size() + package.Tables.RegItems.size(), 2u + 1 + 1);
    ASSERT_EQ(package.Tables.Files.size(), 3u);
    for (const TFileItem& f : package.Tables.Files) {
        const std::string source = f.SubDir.Text().empty() ? "bin/" + f.FileName.Text() : "data/" + f.FileName.Text();
        const Bytes expected = ReadFileBytes(pkg.Dir().Path() / source);
        ASSERT_EQ(f.Size.Get(), expected.size()) << source;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + f.Offset.Get())) << source;
    }
    EXPECT_EQ(package.Header.Reserved.Get(), summary.Checksum);
    TFileStream file = TFileStream::OpenRead(out);
    EXPECT_EQ(PackageChecksum(file), summary.Checksum);
}

TEST_F(BuildTest, SameInputGivesByteIdenticalOutput) {
    WritePackage(pkg.ReadClean(), Out("one.exe"));
    WritePackage(pkg.ReadClean(), Out("two.exe"));
    EXPECT_EQ(ReadFileBytes(Out("one.exe")), ReadFileBytes(Out("two.exe")));
}

TEST_F(BuildTest, LeavesOnlyTheOutputAndReplacesAnOldOne) {
    WriteFileBytes(Out("Demo-setup.exe"), TextBytes("old"));
    const auto before = Names();
    WritePackage(pkg.ReadClean(), Out("Demo-setup.exe"));
    EXPECT_EQ(Names(), before);
    EXPECT_GT(ReadFileBytes(Out("Demo-setup.exe")).size(), 3u);
}

TEST_F(BuildTest, FailureLeavesNothingAndKeepsTheOldOutput) {
    TPackagePlan plan = pkg.ReadClean();
    WriteFileBytes(Out("Demo-setup.exe"), TextBytes("old"));
    std::filesystem::remove(pkg.Dir().Path() / "data/big.bin");  // gone between checking and packing
    const auto before = Names();
    try {
        WritePackage(plan, Out("Demo-setup.exe"));
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("big.bin"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(ReadFileBytes(Out("Demo-setup.exe")), TextBytes("old"));
}

TEST_F(BuildTest, ASourceThatShrinksIsNamed) {
    TPackagePlan plan = pkg.ReadClean();
    WriteFileBytes(pkg.Dir().Path() / "data/big.bin", PatternBytes(10, 2));
    try {
        WritePackage(plan, Out("x.exe"));
        FAIL() << "no error";
    } catch (const EBuildError& e) {
        EXPECT_STREQ(e.TypeName(), "EBuildError");
        EXPECT_NE(e.Message().find("big.bin"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(Out("x.exe")));
}

TEST_F(BuildTest, RefusesToOverwriteItsStub) {
    const TPackagePlan plan = pkg.ReadClean();
    const Bytes stub = ReadFileBytes(pkg.Dir().File("stub.exe"));
    EXPECT_THROW(WritePackage(plan, pkg.Dir().File("stub.exe")), EBuildError);
    EXPECT_EQ(ReadFileBytes(pkg.Dir().File("stub.exe")), stub);
}

TEST_F(BuildTest, ReportsProgressUpToTheTotal) {
    std::uint64_t last = 0, total = 0;
    bool rising = true;
    WritePackage(pkg.ReadClean(), Out("p.exe"), [&](std::uint64_t done, std::uint64_t all) {
        rising &= done >= last;
        last = done;
        total = all;
    });
    EXPECT_TRUE(rising);
    EXPECT_EQ(total, 3002u + 100 + 200000);
    EXPECT_EQ(last, total);
}

TEST(TemporaryPath, IsBesideTheOutputAndFresh) {
    TempDir dir;
    const std::string out = dir.File("a.exe");
    const std::string first = Platform::TemporaryPathFor(out);
    EXPECT_EQ(first.rfind(out + ".part-", 0), 0u);
    WriteFileBytes(first, {});
    EXPECT_NE(Platform::TemporaryPathFor(out), first);
}

}  // namespace
