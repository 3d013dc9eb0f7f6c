#include "tools/examine/PackageData.h"

#include <filesystem>

#include "system/Decompressor.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/examine/PackageListing.h"
#include "tools/platform/Crc32.h"
#include "tools/platform/Platform.h"

using namespace RecordHead;

std::string FormText(const TPackageContents& package) {
    const auto& stream = package.Stream;
    if (!stream) return "plain";
    const CompressedForm::TStreamRecord& r = stream->Record;
    return "compressed: zstd, " + std::to_string(r.StreamSize.Get()) + " bytes at offset " +
           std::to_string(r.StreamOffset.Get()) + " decode to " + std::to_string(r.DataSize.Get()) + " (window 2^" +
           std::to_string(r.WindowLog.Get()) + "); the tables: a " + std::to_string(r.TablesSize.Get()) +
           "-byte frame at offset " + std::to_string(package.Header.FileOffset.Get()) +
           ", the offsets below count as if it were decoded there";
}

std::string CheckStream(ByteSource& file, const TPackageContents& package, std::vector<std::string>& problems) {
    const CompressedForm::TStreamInfo& stream = *package.Stream;
    const std::vector<TFileItem>& files = package.Tables.Files;
    std::vector<CompressedForm::TFileSource> plan;
    try {
        plan = CompressedForm::PlanSources(files, stream.Record.DataSize.Get());
    } catch (const EReadError&) {
        problems.push_back("the file records do not follow the compressed stream: a record's data is neither the "
                           "stream's next nor an earlier record's, or lies past its " +
                           std::to_string(stream.Record.DataSize.Get()) + " bytes");
        return {};
    }
    const std::size_t before = problems.size();
    try {
        Decompressor decoder(file, stream.Record.StreamOffset.Get(), stream.Record.StreamSize.Get());
        std::vector<std::uint8_t> buffer(Decompressor::kBufferSize);
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::uint32_t crc = 0;
            if (plan[i].How == CompressedForm::TFileSource::Copy) {
                crc = stream.Crcs[plan[i].From];
            } else if (plan[i].How == CompressedForm::TFileSource::Stream) {
                TCrc32 sum;
                ReadChunks(decoder, files[i].Size.Get(), buffer,
                           [&](const std::uint8_t* bytes, std::size_t count) { sum.Update(bytes, count); });
                crc = sum.Value();
            }
            if (crc != stream.Crcs[i])
                problems.push_back("file " + std::to_string(i) + " \"" + files[i].FileName.Text() +
                                   "\": its data does not match its CRC-32");
        }
        std::uint8_t more;
        if (decoder.Read(&more, 1) != 0)
            problems.push_back("the compressed stream holds more than the " +
                               std::to_string(stream.Record.DataSize.Get()) + " bytes its record gives");
    } catch (const EReadError&) {
        problems.push_back("the compressed stream is damaged (" + std::to_string(stream.Record.StreamSize.Get()) +
                           " bytes at offset " + std::to_string(stream.Record.StreamOffset.Get()) + ")");
    }
    if (problems.size() != before) return {};
    return "compressed stream whole, every file's CRC-32 matches";
}

TDecodedData::TDecodedData(ByteSource& file, const CompressedForm::TStreamInfo& stream)
    : data_(Platform::ToNative((std::filesystem::temp_directory_path() / "makesetup-data").string())),
      interrupted_(data_.Path()) {
    Decompressor decoder(file, stream.Record.StreamOffset.Get(), stream.Record.StreamSize.Get());
    std::vector<std::uint8_t> buffer(Decompressor::kBufferSize);
    TFileStream& out = data_.File();
    const std::uint64_t total =
        ReadToEnd(decoder, buffer, [&](const std::uint8_t* bytes, std::size_t count) { out.Write(bytes, count); });
    if (total != stream.Record.DataSize.Get()) RaiseReadError();
}
