// A compressed package written from its layout alone, independently of
// makesetup's writer: [prefix] [stream] [CRC-32 per file] [stream record]
// [tables frame] [trailer "qzc"]. The readers' tests take it apart.
#pragma once

#include <zstd.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageTables.h"
#include "package/PackageWriter.h"
#include "system/LittleEndian.h"

struct TCompressedPackage {
    std::vector<std::uint8_t> Image;
    std::uint64_t RecordAt = 0;  // the stream record's offset
    PackageTables Tables;        // as they were written, offsets in the decoded data

    RecordHead::TPackHeader& Trailer() {
        return *reinterpret_cast<RecordHead::TPackHeader*>(&Image[Image.size() - sizeof(RecordHead::TPackHeader)]);
    }
    CompressedForm::TStreamRecord& Record() {
        return *reinterpret_cast<CompressedForm::TStreamRecord*>(&Image[RecordAt]);
    }
};

inline std::vector<std::uint8_t> ZstdFrame(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> frame(ZSTD_compressBound(bytes.size()));
    frame.resize(ZSTD_compress(frame.data(), frame.size(), bytes.data(), bytes.size(), 3));
    return frame;
}

// Two files of other contents and a third with the first one's, a folder and
// a registry value, after `prefix`.
inline TCompressedPackage MakeCompressedPackage(std::vector<std::uint8_t> prefix = std::vector<std::uint8_t>(64, 0x4D)) {
    using namespace RecordHead;
    const std::vector<std::uint8_t> one(5000, 0x31), two = {'t', 'w', 'o'};
    TCompressedPackage p;
    p.Tables.Files = {MakeFileItem("one.txt", "InstallDir", "", 0, 5000), MakeFileItem("two.txt", "InstallDir", "doc", 5000, 3),
                      MakeFileItem("again.txt", "InstallDir", "", 0, 5000)};
    p.Tables.Dirs = {MakeDirItem("InstallDir", "doc")};
    p.Tables.RegItems = {MakeRegItem(0x80000001u, "Software\\Demo", "Path", "%InstallDir%")};
    std::vector<std::uint8_t> data = one;
    data.insert(data.end(), two.begin(), two.end());
    const std::vector<std::uint8_t> stream = ZstdFrame(data);
    std::vector<std::uint8_t> tables;
    const auto append = [&](const auto& records) {
        const auto* raw = reinterpret_cast<const std::uint8_t*>(records.data());
        tables.insert(tables.end(), raw, raw + records.size() * sizeof records[0]);
    };
    append(p.Tables.Files);
    append(p.Tables.Dirs);
    append(p.Tables.ShellItems);
    append(p.Tables.RegItems);
    const std::vector<std::uint8_t> frame = ZstdFrame(tables);

    p.Image = std::move(prefix);
    CompressedForm::TStreamRecord record{};
    record.Codec.TrySet(CompressedForm::Codec);
    record.WindowLog.Set(20);
    record.StreamOffset.Set(static_cast<std::uint32_t>(p.Image.size()));
    record.StreamSize.Set(static_cast<std::uint32_t>(stream.size()));
    record.DataSize.Set(static_cast<std::uint32_t>(data.size()));
    p.Image.insert(p.Image.end(), stream.begin(), stream.end());
    record.CrcOffset.Set(static_cast<std::uint32_t>(p.Image.size()));
    for (const std::uint32_t crc : {CompressedForm::Crc32(0, one.data(), one.size()),
                                    CompressedForm::Crc32(0, two.data(), two.size()),
                                    CompressedForm::Crc32(0, one.data(), one.size())})
        LittleEndian::Append32(p.Image, crc);
    record.TablesSize.Set(static_cast<std::uint32_t>(frame.size()));
    p.RecordAt = p.Image.size();
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&record);
    p.Image.insert(p.Image.end(), raw, raw + sizeof record);

    TPackHeader header = MakeHeader("Packed App", "Ann");
    header.Magic.TrySet(CompressedForm::Magic);
    std::uint32_t at = static_cast<std::uint32_t>(p.Image.size());
    header.FileCount.Set(3);
    header.FileOffset.Set(at);
    header.DirCount.Set(1);
    header.DirOffset.Set(at += 3 * sizeof(TFileItem));
    header.ShellCount.Set(0);
    header.ShellOffset.Set(at += sizeof(TDirItem));
    header.RegCount.Set(1);
    header.RegOffset.Set(at);
    p.Image.insert(p.Image.end(), frame.begin(), frame.end());
    raw = reinterpret_cast<const std::uint8_t*>(&header);
    p.Image.insert(p.Image.end(), raw, raw + sizeof header);
    return p;
}
