#include "package/CompressedForm.h"

#include <algorithm>
#include <atomic>

#include "package/PackageTables.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"

using namespace RecordHead;

namespace CompressedForm {
namespace {

// Slicing by eight: Of[k][b] is the CRC step of byte b followed by k zero
// bytes, so eight bytes take eight look-ups and no loop-carried shifts. Made
// at first use into writable memory: the programs do not carry its 8 KB.
struct TCrcTables {
    std::uint32_t Of[8][256];
};
TCrcTables gCrc;
std::atomic<int> gCrcState{0};  // 0 not made, 1 being made, 2 ready

const TCrcTables& CrcTables() {
    if (gCrcState.load(std::memory_order_acquire) == 2) return gCrc;
    int expected = 0;
    if (gCrcState.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            gCrc.Of[0][n] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int n = 0; n < 256; ++n) {
                const std::uint32_t before = gCrc.Of[k - 1][n];
                gCrc.Of[k][n] = (before >> 8) ^ gCrc.Of[0][before & 0xFF];
            }
        gCrcState.store(2, std::memory_order_release);
    }
    while (gCrcState.load(std::memory_order_acquire) != 2) {
    }  // another thread is making them: a few microseconds
    return gCrc;
}

bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* bytes, std::size_t size) {
    const auto& t = CrcTables().Of;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        const std::uint32_t low = crc ^ LittleEndian::Load32(p), high = LittleEndian::Load32(p + 4);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; size > 0; --size) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t StreamRecordOffset(const TPackHeader& header) {
    const std::uint32_t tables = header.FileOffset.Get();
    if (tables < sizeof(TStreamRecord)) RaiseReadError();
    return tables - static_cast<std::uint32_t>(sizeof(TStreamRecord));
}

std::uint64_t DecodedTablesSize(const TPackHeader& header) {
    std::uint64_t at = header.FileOffset.Get();
    for (const TTableSpan& t : TableSpans(header)) {
        if (t.Count < 0) Raise(ERangeError(std::string(ErrorText::RangeCheck)));
        if (t.Offset != at) RaiseReadError();
        at += std::uint64_t(t.Count) * t.RecordSize;
        if (at - header.FileOffset.Get() > MaxTablesSize) RaiseReadError();
    }
    return at - header.FileOffset.Get();
}

TStreamInfo ReadStreamInfo(ByteSource& source, std::uint64_t fileSize, const TPackHeader& header) {
    TStreamInfo info;
    const std::uint32_t at = StreamRecordOffset(header);
    if (!Inside(at, sizeof info.Record, fileSize)) RaiseReadError();
    source.Seek(at);
    source.ReadExact(&info.Record, sizeof info.Record);
    const TStreamRecord& r = info.Record;
    if (r.Codec.Text() != Codec || r.WindowLog.Get() > MaxWindowLog || r.Reserved.Get() != 0) RaiseReadError();
    if (!Inside(r.StreamOffset.Get(), r.StreamSize.Get(), fileSize)) RaiseReadError();
    if (!Inside(header.FileOffset.Get(), r.TablesSize.Get(), fileSize)) RaiseReadError();
    if (DecodedTablesSize(header) > MaxFrameRatio * r.TablesSize.Get()) RaiseReadError();
    const std::size_t count = header.FileCount.Get() > 0 ? static_cast<std::size_t>(header.FileCount.Get()) : 0;
    if (!Inside(r.CrcOffset.Get(), std::uint64_t(count) * 4, fileSize)) RaiseReadError();
    std::vector<std::uint8_t> bytes(count * 4);
    source.Seek(r.CrcOffset.Get());
    if (!bytes.empty()) source.ReadExact(bytes.data(), bytes.size());
    info.Crcs.resize(count);
    for (std::size_t i = 0; i < count; ++i) info.Crcs[i] = LittleEndian::Load32(&bytes[i * 4]);
    return info;
}

std::vector<TFileSource> PlanSources(std::span<const TFileItem> files, std::uint32_t dataSize) {
    // Each content the stream gives, in the order it gives them (so by
    // ascending offset), with the latest record that wrote it.
    struct TContent {
        std::uint32_t Offset, Size;
        std::size_t Latest;
    };
    std::vector<TContent> contents;
    std::vector<TFileSource> plan(files.size());
    std::uint64_t next = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint32_t offset = files[i].Offset.Get(), size = files[i].Size.Get();
        if (size == 0) continue;
        if (std::uint64_t(offset) + size > dataSize) RaiseReadError();
        if (offset == next) {
            plan[i].How = TFileSource::Stream;
            contents.push_back({offset, size, i});
            next += size;
            continue;
        }
        const auto it = std::lower_bound(contents.begin(), contents.end(), offset,
                                         [](const TContent& c, std::uint32_t o) { return c.Offset < o; });
        if (std::uint64_t(offset) + size > next || it == contents.end() || it->Offset != offset || it->Size != size)
            RaiseReadError();
        plan[i] = {TFileSource::Copy, it->Latest};
        it->Latest = i;
    }
    return plan;
}

}  // namespace CompressedForm
