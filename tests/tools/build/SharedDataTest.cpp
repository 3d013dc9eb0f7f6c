// Each distinct content stored once in the plain layout.
#include <gtest/gtest.h>

#include "package/PackageReader.h"
#include "system/FileStream.h"
#include "tests/tools/ToolTestFiles.h"
#include "tools/build/PackageBuild.h"
#include "tools/inspect/PackageReport.h"

using namespace RecordHead;

namespace {

class SharedDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("x/1.txt", licence);
        pkg.Put("x/2.txt", licence);
        pkg.Put("x/3.txt", PatternBytes(licence.size(), 8));  // the same size, other bytes
        pkg.Put("x/4.txt", {});
        pkg.Put("x/5.bin", PatternBytes(300000, 9));  // several copy buffers
        pkg.Put("x/6.txt", licence);
        pkg.Put("x/7.txt", {});
        pkg.Describe("[package]\nname = \"Demo\"\nregistration = false\n[[file]]\nsource = \"x/*\"\n");
    }
    Bytes Source(const TFileItem& f) const { return ReadFileBytes(pkg.Dir().Path() / "x" / f.FileName.Text()); }

    const Bytes licence = PatternBytes(5000, 7);
    TDescribedPackage pkg;
};

TEST_F(SharedDataTest, SameBytesShareOneCopyAndEveryReaderStillGetsEachFile) {
    const std::string out = pkg.Dir().File("plain.exe");
    WritePackage(pkg.ReadClean(), out);
    const Bytes bytes = ReadFileBytes(out);
    const std::optional<TPackageContents> packageRead = ReadPackageFile(out);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const auto& files = package.Tables.Files;
    ASSERT_EQ(files.size(), 7u);
    for (const TFileItem& f : files) {
        const Bytes expected = Source(f);
        ASSERT_EQ(f.Size.Get(), expected.size()) << f.FileName.Text();
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + f.Offset.Get())) << f.FileName.Text();
    }
    EXPECT_EQ(files[1].Offset.Get(), files[0].Offset.Get());
    EXPECT_EQ(files[5].Offset.Get(), files[0].Offset.Get());
    EXPECT_NE(files[2].Offset.Get(), files[0].Offset.Get());
    // The file data is the distinct contents and nothing more.
    const std::uint64_t stub = ReadFileBytes(pkg.Dir().File("stub.exe")).size();
    EXPECT_EQ(package.Header.FileOffset.Get() - stub, 2 * licence.size() + 300000);

    TFileStream file = TFileStream::OpenRead(out);
    const TVerifyReport report = VerifyPackage(file);
    EXPECT_TRUE(report.Ok());
    EXPECT_NE(report.Summary.find("; 10000 bytes shared by files with the same data"), std::string::npos)
        << report.Summary;
    EXPECT_NE(ListText(out, bytes.size(), package).find("10000 bytes (files with the same data stored once)"), std::string::npos);

    WritePackage(pkg.ReadClean(), pkg.Dir().File("again.exe"));
    EXPECT_EQ(ReadFileBytes(pkg.Dir().File("again.exe")), bytes);
}

}  // namespace
