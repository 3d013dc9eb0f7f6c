// Writes the package layout: file data, then the tables in the order files,
// directories, shell items, registry values, then the 552-byte header. The
// uninstall data file, the tests and the packaging tool all write through it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "system/ByteStream.h"
#include "package/PackageTables.h"
#include "package/RecordHead.h"

// Raised when an offset to be recorded does not fit in 32 bits.
class EPayloadTooLarge : public ELengthError {
public:
    explicit EPayloadTooLarge(std::string message) : ELengthError("EPayloadTooLarge", std::move(message)) {}
};

class PackageWriter {
public:
    // `sink` already holds `startOffset` bytes (an executable stub, or none).
    explicit PackageWriter(ByteSink& sink, std::uint64_t startOffset = 0) : sink_(sink), position_(startOffset) {}

    // Appends one file's bytes and returns the offset to record for them.
    std::uint32_t AppendData(const void* bytes, std::size_t size);
    // Streams `size` bytes from `source` (at its current position) through a
    // small buffer; `progress` hears the bytes copied so far.
    std::uint32_t AppendData(ByteSource& source, std::uint64_t size,
                             const std::function<void(std::uint64_t)>& progress = {});

    // Writes the four tables and returns `header` with their counts and offsets.
    RecordHead::TPackHeader WriteTables(RecordHead::TPackHeader header, PackageTablesView tables);
    void WriteHeader(const RecordHead::TPackHeader& header);
    // WriteTables, then WriteHeader; returns the header written.
    RecordHead::TPackHeader Finish(const RecordHead::TPackHeader& header, PackageTablesView tables);

    std::uint64_t Position() const { return position_; }

private:
    std::uint32_t CurrentOffset(const char* what) const;
    void Put(const void* bytes, std::size_t size);

    ByteSink& sink_;
    std::uint64_t position_;
};

// Record builders: each text goes through the text rule and a value longer
// than its field raises RecordHead::EFieldTooLong naming the field.
RecordHead::TPackHeader MakeHeader(std::string_view appName, std::string_view author = {},
                                   std::string_view email = {}, std::string_view website = {});
RecordHead::TFileItem MakeFileItem(std::string_view fileName, std::string_view baseDir, std::string_view subDir,
                                   std::uint32_t offset, std::uint32_t size);
RecordHead::TDirItem MakeDirItem(std::string_view baseDir, std::string_view subDir);
RecordHead::TShellItem MakeShellItem(std::uint8_t kind, std::string_view baseDir, std::string_view subDir,
                                     std::string_view fileName, std::string_view caption);
RecordHead::TRegItem MakeRegItem(std::uint32_t rootKey, std::string_view key, std::string_view valueName,
                                 std::string_view valueData);

// The uninstall data layout: the four tables from offset 0, then a header that
// carries only the magic, the application name and the tables' places.
void WriteUninstallData(ByteSink& sink, std::string_view appName, PackageTablesView tables);
