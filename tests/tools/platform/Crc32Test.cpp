#include "tools/platform/Crc32.h"

#include <gtest/gtest.h>

#include <string_view>

#include "tests/support/TestFiles.h"

namespace {

std::uint32_t CrcOf(std::string_view text) {
    TCrc32 crc;
    crc.Update(text.data(), text.size());
    return crc.Value();
}

TEST(Crc32, MatchesPublishedCheckValues) {
    EXPECT_EQ(CrcOf(""), 0u);
    EXPECT_EQ(CrcOf("a"), 0xE8B7BE43u);
    EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
    EXPECT_EQ(CrcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST(Crc32, UpdatesInPiecesGiveTheSameValueAsOneUpdate) {
    const Bytes data = PatternBytes(100000, 3);
    TCrc32 whole;
    whole.Update(data.data(), data.size());
    for (const std::size_t cut : {0u, 1u, 7u, 16u, 63u, 64u, 65u, 4096u, 99999u, 100000u}) {
        TCrc32 parts;
        parts.Update(data.data(), cut);
        parts.Update(data.data() + cut, 0);
        parts.Update(data.data() + cut, data.size() - cut);
        EXPECT_EQ(parts.Value(), whole.Value()) << cut;
    }
}

TEST(CrcSink, PassesEveryByteOnAndSumsWhatWentThrough) {
    const Bytes data = PatternBytes(5000, 9);
    MemorySink memory;
    TCrcSink sink(memory);
    sink.Write(data.data(), 1234);
    sink.Write(data.data() + 1234, data.size() - 1234);
    EXPECT_EQ(memory.Bytes(), data);
    TCrc32 direct;
    direct.Update(data.data(), data.size());
    EXPECT_EQ(sink.Crc().Value(), direct.Value());
}

}  // namespace
