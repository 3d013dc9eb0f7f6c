// Reading a package: the 552-byte trailer at the end of a byte source, the
// four tables it places, and in a signed executable the rule that all of it
// lies inside the signed part. The setup program's package object, the
// uninstaller and makesetup all read packages here, so one set of rules
// decides what a package is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageTables.h"
#include "package/RecordHead.h"
#include "system/ByteStream.h"

struct TPackageContents {
    RecordHead::TPackHeader Header{};
    PackageTables Tables;
    std::optional<CompressedForm::TStreamInfo> Stream;  // the compressed form's file data

    std::string AppName() const { return Header.AppName.Text(); }
};

// Where a read puts the four tables: the caller's own.
struct TTablesOut {
    std::vector<RecordHead::TFileItem>& Files;
    std::vector<RecordHead::TDirItem>& Dirs;
    std::vector<RecordHead::TShellItem>& ShellItems;
    std::vector<RecordHead::TRegItem>& RegItems;
};

// Reads the trailer of `source` into `header` and, when its magic is valid,
// the four tables into `tables`, one after the other: a table that fails
// leaves those before it read. `stream` gets the compressed form's stream. `beforeTable(index, count)` hears each table
// (0 files, 1 folders, 2 shell items, 3 registry values) before it is read.
// False when the magic is not valid; raises as ReadPackage.
bool ReadPackageInto(ByteSource& source, RecordHead::TPackHeader& header, TTablesOut tables,
                     std::optional<CompressedForm::TStreamInfo>& stream,
                     const std::function<void(std::size_t index, std::int32_t count)>& beforeTable = {});

// Reads the trailer and the four tables of `source`. Nothing when the
// trailer's magic is not valid. Raises EReadError (a table reaching past the
// end of the source, or a source shorter than the trailer), ERangeError (a
// negative count) or ESignatureError (a signature that cannot be read as
// Windows reads it, a signed executable whose package lies outside the
// signed part, or one signed and never sealed).
std::optional<TPackageContents> ReadPackage(ByteSource& source);

// The same from the named file; raises EFOpenError too.
std::optional<TPackageContents> ReadPackageFile(const std::string& path);

// The records of `path` when it is an uninstall data file (or any package
// file) of the application `appName`. Never raises: a missing or broken file
// is no earlier install.
std::optional<TPackageContents> ReadRecordsOf(const std::string& path, std::string_view appName);
