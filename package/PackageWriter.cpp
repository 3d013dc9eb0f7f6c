#include "package/PackageWriter.h"

#include <algorithm>
#include <array>
#include <string>

using namespace RecordHead;

namespace {
constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFu;
}  // namespace

std::uint32_t PackageWriter::CurrentOffset(const char* what) const {
    if (position_ > kMaxOffset)
        throw EPayloadTooLarge(std::string(what) + " would start at byte " + std::to_string(position_) +
                               ", beyond the 4 GiB that 32-bit offsets reach");
    return static_cast<std::uint32_t>(position_);
}

void PackageWriter::Put(const void* bytes, std::size_t size) {
    sink_.Write(bytes, size);
    position_ += size;
}

std::uint32_t PackageWriter::AppendData(const void* bytes, std::size_t size) {
    const std::uint32_t offset = CurrentOffset("file data");
    if (size > 0) Put(bytes, size);
    return offset;
}

std::uint32_t PackageWriter::AppendData(ByteSource& source, std::uint64_t size,
                                        const std::function<void(std::uint64_t)>& progress) {
    const std::uint32_t offset = CurrentOffset("file data");
    std::array<std::uint8_t, 0xF000> buffer;
    std::uint64_t done = 0;
    ReadChunks(source, size, buffer, [&](const std::uint8_t* bytes, std::size_t count) {
        Put(bytes, count);
        done += count;
        if (progress) progress(done);
    });
    return offset;
}

TPackHeader PackageWriter::WriteTables(TPackHeader header, PackageTablesView tables) {
    ForEachTable(header, tables, [&](const auto& records, LEInt32& count, LEUInt32& offset, TTableName name) {
        offset.Set(CurrentOffset(("the " + std::string(name.Name)).c_str()));
        count.Set(static_cast<std::int32_t>(records.size()));
        if (!records.empty()) Put(records.data(), records.size_bytes());
    });
    return header;
}

void PackageWriter::WriteHeader(const TPackHeader& header) { Put(&header, sizeof header); }

TPackHeader PackageWriter::Finish(const TPackHeader& header, PackageTablesView tables) {
    const TPackHeader written = WriteTables(header, tables);
    WriteHeader(written);
    return written;
}

TPackHeader MakeHeader(std::string_view appName, std::string_view author, std::string_view email,
                       std::string_view website) {
    TPackHeader header{};
    SetText(header.Magic, PackageMagic, "Magic");
    SetText(header.AppName, appName, "AppName");
    SetText(header.Author, author, "Author");
    SetText(header.Email, email, "Email");
    SetText(header.Website, website, "Website");
    return header;
}

TFileItem MakeFileItem(std::string_view fileName, std::string_view baseDir, std::string_view subDir,
                       std::uint32_t offset, std::uint32_t size) {
    TFileItem item{};
    SetText(item.FileName, fileName, "FileName");
    SetText(item.BaseDir, baseDir, "BaseDir");
    SetText(item.SubDir, subDir, "SubDir");
    item.Offset.Set(offset);
    item.Size.Set(size);
    return item;
}

TDirItem MakeDirItem(std::string_view baseDir, std::string_view subDir) {
    TDirItem item{};
    SetText(item.BaseDir, baseDir, "BaseDir");
    SetText(item.SubDir, subDir, "SubDir");
    return item;
}

TShellItem MakeShellItem(std::uint8_t kind, std::string_view baseDir, std::string_view subDir,
                         std::string_view fileName, std::string_view caption) {
    TShellItem item{};
    item.Kind = kind;
    SetText(item.BaseDir, baseDir, "BaseDir");
    SetText(item.SubDir, subDir, "SubDir");
    SetText(item.FileName, fileName, "FileName");
    SetText(item.Caption, caption, "Caption");
    return item;
}

TRegItem MakeRegItem(std::uint32_t rootKey, std::string_view key, std::string_view valueName,
                     std::string_view valueData) {
    TRegItem item{};
    item.RootKey.Set(rootKey);
    SetText(item.Key, key, "Key");
    SetText(item.ValueName, valueName, "ValueName");
    SetText(item.ValueData, valueData, "ValueData");
    return item;
}

void WriteUninstallData(ByteSink& sink, std::string_view appName, PackageTablesView tables) {
    TPackHeader header{};
    SetText(header.Magic, PackageMagic, "Magic");
    SetText(header.AppName, appName, "AppName");
    PackageWriter(sink).Finish(header, tables);
}
