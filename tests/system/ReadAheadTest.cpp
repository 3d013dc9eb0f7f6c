// The install's read-ahead of the compressed stream on a second thread: each
// record's bytes, the end, and every error must be what the install got
// reading the decoder itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "system/Decompressor.h"
#include "system/Errors.h"
#include "system/ReadAhead.h"
#include "tests/system/CompressedSamples.h"

namespace {

using namespace CompressedSamples;

// Two frames, together more than the whole ring, so it goes round several times.
const Bytes kData = [] {
    Bytes data = Sample(700'000, 1);
    const Bytes more = Sample(90'000, 2);
    data.insert(data.end(), more.begin(), more.end());
    return data;
}();
const Bytes kStream = [] {
    Bytes file = Compress(Bytes(kData.begin(), kData.begin() + 700'000));
    const Bytes more = Compress(Bytes(kData.begin() + 700'000, kData.end()));
    file.insert(file.end(), more.begin(), more.end());
    return file;
}();
// Record sizes: small ones, one piece exactly, several pieces, across the frames.
const std::vector<std::uint64_t> kRecords = {1, 4093, Decompressor::kBufferSize, 200'000, 7, 300'000, 224'459};  // 790,000 in all

struct Outcome {
    std::vector<Bytes> Records;  // what each record's target received
    std::string Error;           // the kind and text raised, if any
    bool AtEnd = false;
};

// The install's reads of `stream` (up to `range` bytes of it), done directly
// or through the read-ahead.
Outcome Install(const Bytes& stream, std::size_t range, const std::vector<std::uint64_t>& records, bool ahead) {
    MemorySource source(stream);
    Decompressor decoder(source, 0, range);
    TReadAhead reader(decoder, ahead ? records : std::vector<std::uint64_t>{});
    Bytes buffer(Decompressor::kBufferSize);
    Outcome outcome;
    try {
        for (std::uint64_t size : records) {
            MemorySink target;
            struct Keep {  // what the target got, even when the copy fails
                Outcome& outcome;
                MemorySink& target;
                ~Keep() { outcome.Records.push_back(target.Bytes()); }
            } keep{outcome, target};
            if (ahead) reader.CopyTo(target, size);
            else CopyBytes(decoder, target, size, buffer);
        }
        std::uint8_t more;
        outcome.AtEnd = ahead ? reader.AtEnd() : decoder.Read(&more, 1) == 0;
    } catch (const Exception& e) {
        outcome.Error = std::string(e.TypeName()) + ": " + e.Message();
    }
    return outcome;
}

TEST(ReadAhead, GivesEachRecordItsBytesThenFindsTheEndOrBytesLeft) {
    const Outcome whole = Install(kStream, kStream.size(), kRecords, true);
    EXPECT_EQ(whole.Error, "");
    EXPECT_TRUE(whole.AtEnd);
    Bytes joined;
    for (const Bytes& r : whole.Records) joined.insert(joined.end(), r.begin(), r.end());
    EXPECT_EQ(joined, kData);

    std::vector<std::uint64_t> fewer = kRecords;
    fewer.back() -= 1;
    const Outcome early = Install(kStream, kStream.size(), fewer, true);
    EXPECT_EQ(early.Error, "");
    EXPECT_FALSE(early.AtEnd);
}

TEST(ReadAhead, EachRecordAndErrorIsWhatTheDecoderGaveDirectly) {
    const struct {
        std::size_t At;  // the byte changed, or where the range is cut
        bool Cut;
    } cases[] = {{kStream.size() / 3, false}, {kStream.size() - 2, false} /* a checksum */, {kStream.size() / 2, true}};
    for (const auto& c : cases) {
        Bytes bad = kStream;
        if (!c.Cut) bad[c.At] ^= 0x20;
        const std::size_t range = c.Cut ? c.At : bad.size();
        const Outcome direct = Install(bad, range, kRecords, false), ahead = Install(bad, range, kRecords, true);
        EXPECT_EQ(direct.Error, "EReadError: Stream read error") << "byte " << c.At;
        EXPECT_EQ(ahead.Error, direct.Error) << "byte " << c.At;
        // Each target gets as many bytes, and those the damage did not reach
        // alike (past it, the decoder's output is whatever its buffers held).
        ASSERT_EQ(ahead.Records.size(), direct.Records.size()) << "byte " << c.At;
        std::size_t at = 0, intact = 0;
        for (std::size_t i = 0; i < direct.Records.size(); at += kRecords[i++]) {
            EXPECT_EQ(ahead.Records[i].size(), direct.Records[i].size()) << "byte " << c.At << ", record " << i;
            if (std::equal(direct.Records[i].begin(), direct.Records[i].end(), kData.begin() + at)) {
                EXPECT_EQ(ahead.Records[i], direct.Records[i]) << "byte " << c.At << ", record " << i;
                ++intact;
            }
        }
        EXPECT_GT(intact, 2u) << "byte " << c.At;
    }
}

// A writer that stops early (its target failed) ends the thread, whether it
// is decoding or waiting for a free buffer.
TEST(ReadAhead, StopsItsThreadWhenTheWriterGivesUpHalfway) {
    const Bytes big = Compress(Sample(3'000'000, 5));
    for (int records : {0, 1, 8}) {
        MemorySource source(big);
        Decompressor decoder(source, 0, big.size());
        {
            TReadAhead ahead(decoder, std::vector<std::uint64_t>(50, 60'000));
            MemorySink sink;
            for (int i = 0; i < records; ++i) ahead.CopyTo(sink, 60'000);
            if (records == 1) ::Sleep(200);  // time to fill the ring and wait for a free buffer
        }
        // The thread is gone; the decoder goes on where it stopped.
        Bytes buffer(1);
        EXPECT_EQ(decoder.Read(buffer.data(), 1), 1u) << "after " << records;
    }
}

}  // namespace
