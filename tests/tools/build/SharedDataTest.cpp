// Each content stored once, in the plain layout and in the compressed form.
#include <gtest/gtest.h>

#include "package/CompressedReading.h"
#include "package/PackageReader.h"
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "package/CompressedForm.h"
#include "package/PackageWriter.h"
#include "package/ZodiDuradad.h"
#include "system/Decompressor.h"
#include "system/FileStream.h"
#include "tests/tools/ToolTestFiles.h"
#include "tools/build/CompressedPayload.h"
#include "tools/build/FileContents.h"
#include "tools/build/PackageBuild.h"
#include "tools/examine/PackageData.h"
#include "tools/examine/PackageListing.h"

using namespace RecordHead;

namespace {

class SharedDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("x/1.txt", licence);
        pkg.Put("x/2.txt", licence);
        pkg.Put("x/3.txt", PatternBytes(licence.size(), 8));  // the same size, other bytes
        pkg.Put("x/4.txt", {});
        Bytes repeated;  // several buffers, and compressible
        for (int i = 0; i < 300; ++i) {
            const Bytes part = PatternBytes(1000, 9);
            repeated.insert(repeated.end(), part.begin(), part.end());
        }
        pkg.Put("x/5.bin", repeated);
        pkg.Put("x/6.txt", licence);
        pkg.Put("x/7.txt", {});
    }
    TPackagePlan Plan(const char* compression) {
        pkg.Describe(std::string("[package]\nname = \"Demo\"\ncompression = \"") + compression +
                     "\"\nregistration = false\n[[file]]\nsource = \"x/*\"\n");
        return pkg.ReadClean();
    }
    Bytes Source(const TFileItem& f) const { return ReadFileBytes(pkg.Dir().Path() / "x" / f.FileName.Text()); }

    const Bytes licence = PatternBytes(5000, 7);
    TDescribedPackage pkg;
};

TEST_F(SharedDataTest, SameBytesShareOneCopyAndEveryReaderStillGetsEachFile) {
    const std::string out = pkg.Dir().File("plain.exe");
    WritePackage(Plan("none"), out);
    const Bytes bytes = ReadFileBytes(out);
    const std::optional<TPackageContents> packageRead = ReadPackageFile(out, kFullReading);
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

    WritePackage(Plan("none"), pkg.Dir().File("again.exe"));
    EXPECT_EQ(ReadFileBytes(pkg.Dir().File("again.exe")), bytes);
}

TEST(ContentSources, CopiesFromTheLatestHolderUnlessItsTargetIsTheFilesOwnOrReplaced) {
    const std::vector<TFileItem> records = {
        MakeFileItem("x", "InstallDir", "a", 0, 4), MakeFileItem("x", "InstallDir", "a", 0, 4),
        MakeFileItem("y", "InstallDir", "b", 0, 4), MakeFileItem("Y", "InstallDir", "B", 0, 4),
        MakeFileItem("z", "InstallDir", "c", 0, 4), MakeFileItem("w", "InstallDir", "d", 0, 4)};
    // Contents: all the same but the fourth file's.
    const std::vector<TContentSource> plan = PlanContentSources(records, {0, 0, 0, 3, 0, 0});
    const bool streamed[] = {true, true, false, true, true, false};
    for (std::size_t i = 0; i < plan.size(); ++i) EXPECT_EQ(plan[i].Streamed, streamed[i]) << i;
    EXPECT_EQ(plan[2].From, 1u);  // the second file rewrote the first one's target with the same bytes
    EXPECT_EQ(plan[5].From, 4u);  // the third file's target was replaced by the fourth
}

class CompressedTest : public SharedDataTest {
protected:
    // What the setup program does: each record from the stream or from an
    // earlier record, compared with its source.
    void ExpectInstallable(const std::string& path) {
        TVazuravAzoz package;
        ASSERT_TRUE(package.OpenPackage(path, kFullReading));
        ASSERT_TRUE(package.GetStream());
        const auto& files = package.GetFiles();
        const auto& stream = *package.GetStream();
        const auto plan = CompressedForm::PlanSources(files, stream.Record.DataSize.Get());
        TFileStream file = TFileStream::OpenRead(path);
        Decompressor decoder(file, stream.Record.StreamOffset.Get(), stream.Record.StreamSize.Get());
        std::vector<Bytes> installed(files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (plan[i].How == CompressedForm::TFileSource::Copy) {
                installed[i] = installed[plan[i].From];
            } else if (plan[i].How == CompressedForm::TFileSource::Stream) {
                installed[i].resize(files[i].Size.Get());
                decoder.ReadExact(installed[i].data(), installed[i].size());
            }
            EXPECT_EQ(installed[i], Source(files[i])) << files[i].FileName.Text();
            EXPECT_EQ(CompressedForm::Crc32(0, installed[i].data(), installed[i].size()), stream.Crcs[i]);
        }
        std::uint8_t more;
        EXPECT_EQ(decoder.Read(&more, 1), 0u);
        EXPECT_EQ(stream.Record.DataSize.Get(), licence.size() * 2 + 300000);
    }
};

TEST_F(CompressedTest, RoundTripsEveryFileAndAPlainReaderFindsNoPackage) {
    const std::string out = pkg.Dir().File("fast.exe");
    const TBuildSummary summary = WritePackage(Plan("fast"), out);
    ExpectInstallable(out);
    const Bytes bytes = ReadFileBytes(out);
    TPackHeader trailer;
    std::memcpy(&trailer, bytes.data() + bytes.size() - sizeof trailer, sizeof trailer);
    EXPECT_FALSE(IsValidHeader(trailer));  // what a reader of the plain layout checks
    EXPECT_TRUE(CompressedForm::IsCompressedHeader(trailer));
    // The tables: one frame between the stream record and the trailer, much
    // smaller than the records it decodes to at the trailer's offsets.
    TFileStream read = TFileStream::OpenRead(out);
    const auto package = ReadPackage(read, kFullReading);
    ASSERT_TRUE(package && package->Stream);
    const std::uint32_t frame = package->Stream->Record.TablesSize.Get();
    EXPECT_EQ(trailer.FileOffset.Get() + std::uint64_t(frame) + sizeof trailer, bytes.size());
    EXPECT_LT(frame, 7 * sizeof(TFileItem) / 4);
    EXPECT_EQ(trailer.DirOffset.Get(), trailer.FileOffset.Get() + 7 * sizeof(TFileItem));
    // The repeated kilobyte compresses; the licence's two copies are one.
    EXPECT_LT(summary.Size, ReadFileBytes(pkg.Dir().File("stub.exe")).size() + 2 * licence.size() + 10000);
    TFileStream file = TFileStream::OpenRead(out);
    const TVerifyReport report = VerifyPackage(file);
    EXPECT_TRUE(report.Ok()) << (report.Problems.empty() ? "" : report.Problems[0]);
    EXPECT_NE(report.Summary.find("CRC-32 matches"), std::string::npos) << report.Summary;
}

// list and extract read the decoded data from a scratch file that goes with
// its reader, and with a reader that failed halfway.
TEST_F(CompressedTest, DecodedDataLeavesNoScratchFileEvenWhenTheStreamBreaksOff) {
    const std::string out = pkg.Dir().File("fast.exe");
    WritePackage(Plan("fast"), out);
    TFileStream file = TFileStream::OpenRead(out);
    const auto package = ReadPackage(file, kFullReading);
    ASSERT_TRUE(package && package->Stream);
    TempDir scratch;
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string saved = tmpdir ? tmpdir : "";
    ::setenv("TMPDIR", scratch.Path().c_str(), 1);
    const auto leftInScratch = [&] {
        return std::distance(std::filesystem::directory_iterator(scratch.Path()), std::filesystem::directory_iterator());
    };
    {
        TDecodedData decoded(file, *package->Stream);
        EXPECT_EQ(decoded.Source().Size(), package->Stream->Record.DataSize.Get());
        EXPECT_EQ(leftInScratch(), 1);
    }
    EXPECT_EQ(leftInScratch(), 0);
    CompressedForm::TStreamInfo cut = *package->Stream;
    cut.Record.StreamSize.Set(cut.Record.StreamSize.Get() / 2);
    EXPECT_THROW(TDecodedData(file, cut), EReadError);
    EXPECT_EQ(leftInScratch(), 0);
    if (tmpdir) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
}

TEST_F(CompressedTest, SameInputGivesByteIdenticalOutput) {
    WritePackage(Plan("best"), pkg.Dir().File("one.exe"));
    WritePackage(Plan("best"), pkg.Dir().File("two.exe"));
    EXPECT_EQ(ReadFileBytes(pkg.Dir().File("one.exe")), ReadFileBytes(pkg.Dir().File("two.exe")));
    ExpectInstallable(pkg.Dir().File("one.exe"));
}

TEST_F(CompressedTest, DamageToTheStreamOrACrcIsFound) {
    const std::string out = pkg.Dir().File("fast.exe");
    WritePackage(Plan("fast"), out);
    TVazuravAzoz package;
    ASSERT_TRUE(package.OpenPackage(out, kFullReading));
    const auto record = package.GetStream()->Record;
    const Bytes good = ReadFileBytes(out);
    const struct {
        std::uint64_t At;
        const char* Problem;
    } cases[] = {{record.StreamOffset.Get() + record.StreamSize.Get() / 2u, "stream is damaged"},
                 {record.StreamOffset.Get() + record.StreamSize.Get() - 2u, "stream is damaged"},  // its checksum
                 {record.CrcOffset.Get() + 4u * 4, "does not match its CRC-32"}};
    for (const auto& c : cases) {
        Bytes bad = good;
        bad[c.At] ^= 0x20;
        MemorySource source(bad);
        const TVerifyReport report = VerifyPackage(source);
        std::string problems;
        for (const std::string& p : report.Problems) problems += p + "\n";
        EXPECT_NE(problems.find(c.Problem), std::string::npos) << "byte " << c.At << ":\n" << problems;
    }
    // A package of the earlier form, whose tables were plain, is named as such.
    Bytes earlier = good;
    earlier[CompressedForm::StreamRecordOffset(package.GetHeader()) + 3] = 0;  // "zst2" -> "zst"
    MemorySource source(earlier);
    const TVerifyReport report = VerifyPackage(source);
    ASSERT_FALSE(report.Problems.empty());
    EXPECT_NE(report.Problems[0].find("build it again"), std::string::npos) << report.Problems[0];
}

// The stream holds files grouped by kind, not in the description's order; a
// later file must still replace an earlier one of the same name.
TEST_F(CompressedTest, FilesOfOneNameKeepTheirOrderWhenTheStreamGroupsThem) {
    const Bytes first = PatternBytes(700, 1), second = PatternBytes(900, 2);
    pkg.Put("a/readme.txt", first);
    pkg.Put("b/README.TXT", second);
    pkg.Put("c/z.bin", PatternBytes(300, 3));
    pkg.Describe("[package]\nname = \"Demo\"\ncompression = \"best\"\nregistration = false\n"
                 "[[file]]\nsource = \"a/readme.txt\"\n[[file]]\nsource = \"c/z.bin\"\n"
                 "[[file]]\nsource = \"b/README.TXT\"\n");
    const std::string out = pkg.Dir().File("best.exe");
    WritePackage(pkg.ReadClean(), out);

    TVazuravAzoz package;
    ASSERT_TRUE(package.OpenPackage(out, kFullReading));
    const auto& files = package.GetFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].FileName.Text(), "z.bin");  // grouped: the .bin before both .txt
    // Installed in table order, by name without regard to case.
    const auto plan = CompressedForm::PlanSources(files, package.GetStream()->Record.DataSize.Get());
    TFileStream file = TFileStream::OpenRead(out);
    const auto& record = package.GetStream()->Record;
    Decompressor decoder(file, record.StreamOffset.Get(), record.StreamSize.Get());
    std::map<std::string, Bytes> installed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_EQ(plan[i].How, CompressedForm::TFileSource::Stream);
        Bytes bytes(files[i].Size.Get());
        decoder.ReadExact(bytes.data(), bytes.size());
        std::string name = files[i].FileName.Text();
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        installed[name] = bytes;
    }
    EXPECT_EQ(installed["readme.txt"], second);
}

TEST_F(SharedDataTest, AnUnknownCompressionIsRefusedOnItsLine) {
    pkg.Describe("[package]\nname = \"Demo\"\ncompression = \"huge\"\n[[file]]\nsource = \"x/*\"\n");
    TDiagnostics diagnostics;
    pkg.Read(diagnostics);
    EXPECT_TRUE(Reports(diagnostics, true, 3, "compression must be \"none\", \"fast\" or \"best\"")) << ErrorsOf(diagnostics);
}

// The setup program decodes the tables whole, so makesetup refuses tables past
// its bound before it compresses or writes any of them.
TEST(CompressedTables, LargerThanTheSetupProgramHoldsAreRefusedAndNothingIsWritten) {
    const std::vector<TRegItem> values(CompressedForm::MaxTablesSize / sizeof(TRegItem) + 1);
    MemorySink sink;
    PackageWriter writer(sink);
    try {
        WriteCompressedTables(writer, TPackHeader{}, {}, {{}, {}, {}, values}, TCompression::Fast);
        FAIL() << "tables of " << values.size() * sizeof(TRegItem) << " bytes were written";
    } catch (const EBuildError& error) {
        EXPECT_NE(std::string(error.what()).find("use compression = \"none\""), std::string::npos) << error.what();
    }
    EXPECT_TRUE(sink.Bytes().empty());
}

}  // namespace
