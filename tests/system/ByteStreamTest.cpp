// The byte source and sink, in memory and as files on this system.
#include "system/ByteStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <cerrno>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "system/Errors.h"
#include "system/FileStream.h"
#include "tests/support/TestFiles.h"

namespace {

// Hands out at most `step` bytes per read, as a pipe or a slow file may.
class TrickleSource final : public ByteSource {
public:
    TrickleSource(Bytes bytes, std::size_t step) : bytes_(std::move(bytes)), inner_(bytes_), step_(step) {}
    std::uint64_t Size() override { return inner_.Size(); }
    void Seek(std::uint64_t position) override { inner_.Seek(position); }
    std::size_t Read(void* buffer, std::size_t count) override { return inner_.Read(buffer, std::min(count, step_)); }

private:
    Bytes bytes_;
    MemorySource inner_;
    std::size_t step_;
};

}  // namespace

TEST(ByteSource, ReadExactGathersShortReadsAndRaisesWhenTheSourceEnds) {
    const Bytes data = PatternBytes(100);
    TrickleSource source(data, 7);
    Bytes got(60);
    source.ReadExact(got.data(), got.size());
    EXPECT_EQ(got, Bytes(data.begin(), data.begin() + 60));
    Bytes rest(41);
    try {
        source.ReadExact(rest.data(), rest.size());
        FAIL() << "read past the end";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}

TEST(MemoryStreams, SeekPastTheEndReadsNothingAndTheSinkAppends) {
    const Bytes data = TextBytes("abcdef");
    MemorySource source(data);
    char buffer[8] = {};
    source.Seek(4);
    EXPECT_EQ(source.Read(buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    source.Seek(7);
    EXPECT_EQ(source.Read(buffer, sizeof buffer), 0u);

    MemorySink sink;
    sink.Write("ab", 2);
    sink.Write("", 0);
    sink.Write("c", 1);
    EXPECT_EQ(sink.Bytes(), TextBytes("abc"));
}

TEST(FileStream, WrittenBytesReadBackFromAnyPosition) {
    TempDir dir;
    const std::string path = dir.File("data.bin");
    const Bytes data = PatternBytes(70000);
    {
        TFileStream file = TFileStream::Create(path);
        file.Write(data.data(), data.size());
    }
    TFileStream file = TFileStream::OpenRead(path);
    EXPECT_EQ(file.Size(), data.size());
    file.Seek(65536);
    Bytes tail(data.size() - 65536);
    file.ReadExact(tail.data(), tail.size());
    EXPECT_EQ(tail, Bytes(data.begin() + 65536, data.end()));
    EXPECT_EQ(file.Read(tail.data(), 1), 0u);
}

TEST(FileStream, OpenAndCreateFailuresNameThePathAndTheSystemsReason) {
    TempDir dir;
    const std::string missing = dir.File("missing.bin");
    try {
        TFileStream::OpenRead(missing);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". No such file or directory");
    }
    // A folder is no file to read.
    EXPECT_THROW(TFileStream::OpenRead(dir.Path().string()), EFOpenError);
#ifndef _WIN32
    // Nor is a FIFO: refused at once instead of waiting for a writer.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        TFileStream::OpenRead(fifo);
        FAIL() << "opened a FIFO";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + fifo + "\". " + std::string(ErrorText::NotRegularFile));
    }
#endif
    try {
        TFileStream::Create(dir.File("no folder/new.bin"));
        FAIL() << "created below a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file \"" + dir.File("no folder/new.bin") + "\". No such file or directory");
    }
}

// What a folder holds, by name.
std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TemporaryFile, ReplacesTheTargetOnlyWhenCommittedAndNeverLeavesItself) {
    TempDir dir;
    const std::string target = dir.File("out.bin");
    WriteFileBytes(target, TextBytes("old"));
    const Bytes data = PatternBytes(100);

    // A copy whose source ends early: the target keeps its bytes.
    {
        TrickleSource shortSource(Bytes(data.begin(), data.begin() + 50), 7);
        TTemporaryFile file(target);
        std::array<std::uint8_t, 16> buffer{};
        EXPECT_THROW(CopyBytes(shortSource, file.File(), data.size(), buffer), EReadError);
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});
    EXPECT_EQ(ReadFileBytes(target), TextBytes("old"));

    // Chunks of at most the buffer's size, read back before the commit.
    {
        TrickleSource source(data, 7);
        TTemporaryFile file(target);
        std::array<std::uint8_t, 16> buffer{};
        CopyBytes(source, file.File(), data.size(), buffer);
        file.File().Seek(90);
        Bytes tail(10);
        file.File().ReadExact(tail.data(), tail.size());
        EXPECT_EQ(tail, Bytes(data.begin() + 90, data.end()));
        file.Commit();
        EXPECT_TRUE(file.Path().empty());
    }
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"out.bin"});
    EXPECT_EQ(ReadFileBytes(target), data);

    // A commit that cannot rename (a folder holds the name) names the target.
    const std::string folder = dir.File("folder");
    std::filesystem::create_directories(folder + "/inside");
    try {
        TTemporaryFile file(folder);
        file.File().Write("x", 1);
        file.Commit();
        FAIL() << "renamed over a folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message().rfind("Cannot create file \"" + folder + "\". ", 0), 0u) << e.Message();
    }
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"folder", "out.bin"}));

    // Nothing made below a missing folder.
    EXPECT_THROW(TTemporaryFile(dir.File("missing/out.bin")), EFCreateError);
}

TEST(LastSystemErrorText, IsTheSystemsTextWithoutTheTrailingPeriod) {
    errno = EACCES;
    EXPECT_EQ(LastSystemErrorText(), "Permission denied");
}
