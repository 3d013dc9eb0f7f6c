// The install's decoding ahead on a second thread: each record's bytes, the
// end, and every error must be what decoding on the install's own thread
// gives, and the thread must go whenever the install stops.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "system/Decompressor.h"
#include "system/Errors.h"
#include "system/ReadAhead.h"
#include "tests/system/CompressedSamples.h"

namespace {

using namespace CompressedSamples;

// Two frames, together more than both rings, so each goes round many times.
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
const std::vector<std::uint64_t> kRecords = {1, 4093, Decompressor::kBufferSize, 200'000, 7, 300'000, 224'459};

struct Outcome {
    std::vector<Bytes> Records;  // what each record's target received
    std::string Error;           // the kind and text raised, if any
    bool AtEnd = false;
};

// A target that refuses its `failAt`th write.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(int failAt) : left_(failAt) {}
    void Write(const void*, std::size_t) override {
        if (--left_ == 0) RaiseWriteError();
    }

private:
    int left_;
};

// The install's reads of the stream in the first `range` bytes of `file`
// (which may be cut shorter), on its own thread or ahead.
Outcome Install(const Bytes& file, std::size_t range, const std::vector<std::uint64_t>& records, bool ahead) {
    MemorySource source(file);
    Outcome outcome;
    try {
        std::optional<Decompressor> direct;
        std::optional<TReadAhead> reader;
        if (ahead) reader.emplace(source, 0, range, records);
        else direct.emplace(source, 0, range);
        Bytes buffer(Decompressor::kBufferSize);
        for (std::uint64_t size : records) {
            MemorySink target;
            struct Keep {  // what the target got, even when the copy fails
                Outcome& outcome;
                MemorySink& target;
                ~Keep() { outcome.Records.push_back(target.Bytes()); }
            } keep{outcome, target};
            if (ahead) reader->CopyTo(target, size);
            else CopyBytes(*direct, target, size, buffer);
        }
        outcome.AtEnd = ahead ? reader->AtEnd() : direct->AtEnd();
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
    EXPECT_TRUE(joined == kData);

    std::vector<std::uint64_t> fewer = kRecords;
    fewer.back() -= 1;
    const Outcome early = Install(kStream, kStream.size(), fewer, true);
    EXPECT_EQ(early.Error, "");
    EXPECT_FALSE(early.AtEnd);
}

// Damaged bytes, a range cut inside a frame, a package shorter than the
// range: the same error after the same bytes. Each case runs several times,
// for the thread's timing to vary.
TEST(ReadAhead, EachRecordAndErrorIsWhatTheDecoderGaveDirectly) {
    enum Damage { Flip, CutRange, CutFile };
    const struct {
        std::size_t At;  // the byte changed, or where the range or the file is cut
        Damage How;
    } cases[] = {{kStream.size() / 3, Flip},
                 {kStream.size() - 2, Flip},  // a checksum
                 {kStream.size() / 2, CutRange},
                 {kStream.size() / 4, CutFile}};
    for (const auto& c : cases) {
        Bytes bad = kStream;
        if (c.How == Flip) bad[c.At] ^= 0x20;
        if (c.How == CutFile) bad.resize(c.At);
        const std::size_t range = c.How == CutRange ? c.At : kStream.size();
        const Outcome direct = Install(bad, range, kRecords, false);
        EXPECT_EQ(direct.Error, "EReadError: Stream read error") << "byte " << c.At;
        for (int round = 0; round < 5; ++round) {
            const Outcome ahead = Install(bad, range, kRecords, true);
            EXPECT_EQ(ahead.Error, direct.Error) << "byte " << c.At;
            EXPECT_TRUE(ahead.Records == direct.Records) << "byte " << c.At;
        }
    }
}

// A writer that stops early ends the thread, whether it is decoding, waiting
// for a free buffer or waiting for the package's bytes.
TEST(ReadAhead, StopsItsThreadWhenTheWriterGivesUpHalfway) {
    const Bytes big = Compress(Sample(3'000'000, 5));
    const std::vector<std::uint64_t> records(50, 60'000);
    for (int taken : {0, 1, 8}) {
        MemorySource source(big);
        TReadAhead ahead(source, 0, big.size(), records);
        MemorySink sink;
        for (int i = 0; i < taken; ++i) ahead.CopyTo(sink, 60'000);
        if (taken == 1) ::Sleep(200);  // time to fill the ring and wait for a free buffer
    }
    MemorySource source(big);
    TReadAhead ahead(source, 0, big.size(), records);
    FailingSink failing(3);
    const auto writeAll = [&] {
        for (std::uint64_t size : records) ahead.CopyTo(failing, size);
    };
    EXPECT_THROW(writeAll(), EWriteError);
}

}  // namespace
