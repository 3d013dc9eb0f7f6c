#include "package/CompressedForm.h"

#include <algorithm>
#include <array>

#include "package/PackageTables.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"

using namespace RecordHead;

namespace CompressedForm {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* bytes, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    crc = ~crc;
    while (size-- > 0) crc = kCrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
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
