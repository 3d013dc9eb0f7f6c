#include "tools/build/CompressedPayload.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "package/CompressedForm.h"
#include "system/FileStream.h"
#include "system/LittleEndian.h"
#include "tools/build/PackageBuild.h"
#include "tools/build/StreamCompressor.h"
#include "tools/platform/Crc32.h"
#include "tools/platform/Platform.h"

using namespace RecordHead;

namespace {

// The compressor's output, appended to the package.
class TWriterSink final : public ByteSink {
public:
    explicit TWriterSink(PackageWriter& writer) : writer_(writer) {}
    void Write(const void* buffer, std::size_t count) override { writer_.AppendData(buffer, count); }

private:
    PackageWriter& writer_;
};

// Streams one source file into the compressor; returns its CRC-32.
std::uint32_t Feed(const TPlannedFile& file, TStreamCompressor& compressor, std::vector<std::uint8_t>& buffer,
                   const std::function<void(std::uint64_t)>& advanced) {
    TFileStream source = TFileStream::OpenRead(Platform::ToNative(file.Source));
    TCrc32 crc;
    try {
        ReadChunks(source, file.Size, buffer, [&](const std::uint8_t* bytes, std::size_t count) {
            compressor.Write(bytes, count);
            crc.Update(bytes, count);
            if (advanced) advanced(count);
        });
    } catch (const EReadError&) {
        throw EBuildError(file.Source + ": the file became shorter while it was packed");
    }
    if (source.Size() != file.Size) throw EBuildError(file.Source + ": the file changed while it was packed");
    return crc.Value();
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

}  // namespace

void OrderForStream(std::vector<TPlannedFile>& files) {
    struct TKey {
        std::string extension, name;
        auto operator<=>(const TKey&) const = default;
    };
    std::vector<std::pair<TKey, std::size_t>> keys;
    keys.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string name = LowerAscii(files[i].Record.FileName.Text());
        const std::size_t dot = name.rfind('.');
        std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
        keys.push_back({{std::move(extension), std::move(name)}, i});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<TPlannedFile> ordered;
    ordered.reserve(files.size());
    for (const auto& key : keys) ordered.push_back(std::move(files[key.second]));
    files = std::move(ordered);
}

CompressedForm::TStreamRecord WriteCompressedData(PackageWriter& writer, std::vector<TPlannedFile>& files,
                                                  TCompression compression, const std::vector<TContentSource>& sources,
                                                  const std::function<void(std::uint64_t)>& advanced) {
    std::uint64_t dataSize = 0;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (sources[i].Streamed) dataSize += files[i].Size;
    if (dataSize > kMaxPackageOffset)
        throw EPayloadTooLarge("the distinct file contents come to " + std::to_string(dataSize) +
                               " bytes, beyond the 4 GiB that 32-bit offsets reach");

    const std::uint32_t streamOffset = writer.AppendData(nullptr, 0);
    TWriterSink sink(writer);
    TStreamCompressor compressor(sink, compression, dataSize);
    std::vector<std::uint8_t> buffer(1u << 20);
    std::vector<std::uint32_t> crcs(files.size(), 0);
    std::uint64_t position = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].Size > 0 && !sources[i].Streamed) {
            const std::size_t from = sources[i].From;
            files[i].Record.Offset.Set(files[from].Record.Offset.Get());
            crcs[i] = crcs[from];
            continue;
        }
        files[i].Record.Offset.Set(static_cast<std::uint32_t>(position));
        if (files[i].Size == 0) continue;
        crcs[i] = Feed(files[i], compressor, buffer, advanced);
        position += files[i].Size;
    }
    compressor.Finish();
    const std::uint64_t streamEnd = writer.Position();

    std::vector<std::uint8_t> crcTable;
    for (const std::uint32_t crc : crcs) LittleEndian::Append32(crcTable, crc);
    const std::uint32_t crcOffset = writer.AppendData(crcTable.data(), crcTable.size());
    CompressedForm::TStreamRecord record{};
    SetText(record.Codec, CompressedForm::Codec, "Codec");
    record.WindowLog.Set(compressor.WindowLog());
    record.StreamOffset.Set(streamOffset);
    record.StreamSize.Set(static_cast<std::uint32_t>(streamEnd - streamOffset));
    record.DataSize.Set(static_cast<std::uint32_t>(dataSize));
    record.CrcOffset.Set(crcOffset);
    return record;
}

TPackHeader WriteCompressedTables(PackageWriter& writer, TPackHeader header, CompressedForm::TStreamRecord record,
                                  PackageTablesView tables, TCompression compression) {
    std::uint64_t size = 0;
    ForEachTable(header, tables, [&](const auto& records, auto&, auto&, TTableName) { size += records.size_bytes(); });
    if (size > CompressedForm::MaxTablesSize)
        throw EBuildError("the tables come to " + std::to_string(size) + " bytes, more than the " +
                          std::to_string(CompressedForm::MaxTablesSize) +
                          " the setup program holds in the compressed form: use compression = \"none\"");
    MemorySink frame;
    TStreamCompressor compressor(frame, compression, size);
    ForEachTable(header, tables, [&](const auto& records, auto&, auto&, TTableName) {
        compressor.Write(records.data(), records.size_bytes());
    });
    compressor.Finish();
    record.TablesSize.Set(static_cast<std::uint32_t>(frame.Bytes().size()));
    writer.AppendData(&record, sizeof record);
    // The offsets the tables would have if the frame were decoded in its place.
    std::uint64_t at = writer.Position();
    ForEachTable(header, tables, [&](const auto& records, LEInt32& count, LEUInt32& offset, TTableName name) {
        if (at > kMaxPackageOffset)
            throw EPayloadTooLarge("the " + std::string(name.Name) + " would start at byte " + std::to_string(at) +
                                   ", beyond the 4 GiB that 32-bit offsets reach");
        offset.Set(static_cast<std::uint32_t>(at));
        count.Set(static_cast<std::int32_t>(records.size()));
        at += records.size_bytes();
    });
    writer.AppendData(frame.Bytes().data(), frame.Bytes().size());
    return header;
}
