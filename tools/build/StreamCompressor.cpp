#include "tools/build/StreamCompressor.h"

#include <new>
#include <string>

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_c_jobSize
#include <zstd.h>

#include "package/CompressedForm.h"
#include "tools/build/PackageBuild.h"

namespace {

struct TLevel {
    int level;
    bool longMatches;
};
// Level 18, not 19: on a tree of 92 MB 0.4 % larger for little more than half the
// compressor's time, which puts packing below the time of an LZMA compiler.
TLevel LevelOf(TCompression c) { return c == TCompression::Best ? TLevel{18, true} : TLevel{3, true}; }

void Check(std::size_t result, const char* what) {
    if (ZSTD_isError(result)) throw EBuildError(std::string("compression: ") + what + ": " + ZSTD_getErrorName(result));
}

}  // namespace

void TStreamCompressor::FreeContext::operator()(ZSTD_CCtx_s* context) const noexcept { ZSTD_freeCCtx(context); }

TStreamCompressor::TStreamCompressor(ByteSink& out, TCompression compression, std::uint64_t dataSize)
    : out_(out), context_(ZSTD_createCCtx()), bufferSize_(ZSTD_CStreamOutSize()), windowLog_(CompressedForm::MaxWindowLog) {
    if (!context_) throw std::bad_alloc();
    buffer_ = std::make_unique<std::uint8_t[]>(bufferSize_);
    ZSTD_CCtx* c = context_.get();
    const TLevel level = LevelOf(compression);
    // A package smaller than the window needs no more window than itself.
    while (windowLog_ > 10 && (std::uint64_t(1) << (windowLog_ - 1)) >= dataSize) --windowLog_;
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, level.level), "level");
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, static_cast<int>(windowLog_)), "window");
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, level.longMatches ? 1 : 0), "long matches");
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1), "checksum");
    // Both cores: jobs of a few MiB, each starting with the window before it
    // (the default job of four windows would leave one core idle on a package
    // under 128 MiB). A library built without threads refuses: one core then.
    if (!ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_nbWorkers, 2)))
        ZSTD_CCtx_setParameter(c, ZSTD_c_jobSize, 16 << 20);
    Check(ZSTD_CCtx_setPledgedSrcSize(c, dataSize), "size");
}

TStreamCompressor::~TStreamCompressor() = default;

void TStreamCompressor::Run(const void* bytes, std::size_t size, int mode) {
    ZSTD_inBuffer in{bytes, size, 0};
    for (;;) {
        ZSTD_outBuffer out{buffer_.get(), bufferSize_, 0};
        const std::size_t left = ZSTD_compressStream2(context_.get(), &out, &in, static_cast<ZSTD_EndDirective>(mode));
        Check(left, "stream");
        if (out.pos > 0) out_.Write(buffer_.get(), out.pos);
        if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size) return;
    }
}

void TStreamCompressor::Write(const void* bytes, std::size_t size) { Run(bytes, size, ZSTD_e_continue); }

void TStreamCompressor::Finish() { Run(nullptr, 0, ZSTD_e_end); }
