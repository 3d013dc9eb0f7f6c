// A zstd stream written through a byte sink: the compressed package form's
// file data. Long-distance matching finds contents repeated far apart; the
// window never exceeds the setup program's limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "system/ByteStream.h"
#include "tools/description/PackagePlan.h"

struct ZSTD_CCtx_s;

class TStreamCompressor {
public:
    // `dataSize`: exactly the bytes that will be written (recorded in the
    // frame, and it lets a small package use a small window). Uses both
    // cores where the library can. Raises EOutOfMemory.
    TStreamCompressor(ByteSink& out, TCompression level, std::uint64_t dataSize);
    ~TStreamCompressor();
    TStreamCompressor(const TStreamCompressor&) = delete;
    TStreamCompressor& operator=(const TStreamCompressor&) = delete;

    void Write(const void* bytes, std::size_t size);
    // Ends the stream; raises EBuildError when fewer or more bytes came than promised.
    void Finish();

    std::uint32_t WindowLog() const { return windowLog_; }

private:
    struct FreeContext {
        void operator()(ZSTD_CCtx_s* context) const noexcept;
    };
    void Run(const void* bytes, std::size_t size, int mode);

    ByteSink& out_;
    std::unique_ptr<ZSTD_CCtx_s, FreeContext> context_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t bufferSize_;
    std::uint32_t windowLog_;
};
