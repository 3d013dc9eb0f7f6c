// Reading a package: the 552-byte trailer at the end of a byte source, the
// four tables it places, and in a signed executable the rule that all of it
// lies inside the signed part. The setup program's package object, the
// uninstaller and makesetup all read packages here, so one set of rules
// decides what a package is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageTables.h"
#include "package/RecordHead.h"
#include "package/SignedPart.h"
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

using TBeforeTable = std::function<void(std::size_t index, std::int32_t count)>;

// What a program reads packages with: the setup program and makesetup hand
// in kFullReading (package/CompressedReading.h). The uninstaller reads only
// plain, unsigned data files and takes neither part, so it carries neither
// the decoder nor the signature's reading.
struct TPackageReading {
    // Reads the compressed form's stream record and CRC table into `stream`
    // (OpenTablesFrame) and returns the decoded tables frame as a source the
    // tables are read from, in order, at the trailer's offsets;
    // `signedPart`, when not null, must hold the frame, the stream and what
    // locates them. Without it a compressed package is refused as damaged
    // (EReadError).
    std::unique_ptr<ByteSource> (*Compressed)(ByteSource& source, const RecordHead::TPackHeader& header,
                                              const SignedPart::TSignature* signedPart,
                                              CompressedForm::TStreamInfo& stream) = nullptr;
    // The signed-part rules (SignedPart::OfPackage); without it no signature
    // is looked at.
    std::optional<SignedPart::TSignature> (*Signature)(ByteSource& source, const RecordHead::TPackHeader& header,
                                                       bool isPackage) = nullptr;
};

// Reads the trailer of `source` into `header` and, when its magic is valid,
// the four tables into `tables`, one after the other: a table that fails
// leaves those before it read. `stream` gets the compressed form's stream.
// `beforeTable(index, count)` hears each table (0 files, 1 folders, 2 shell
// items, 3 registry values) before it is read. False when the magic is not
// valid; raises as ReadPackage.
bool ReadPackageInto(ByteSource& source, RecordHead::TPackHeader& header, TTablesOut tables,
                     std::optional<CompressedForm::TStreamInfo>& stream, const TPackageReading& reading,
                     const TBeforeTable& beforeTable = {});

// Reads the trailer and the four tables of `source`. Nothing when the
// trailer's magic is not valid. Raises EReadError (a table reaching past the
// end of the source, a source shorter than the trailer, a damaged or
// unreadable compressed form), ERangeError (a negative count) or
// ESignatureError (with the signed-part rules: a signature that cannot be
// read as Windows reads it, a signed executable whose package lies outside
// the signed part, or one signed and never sealed).
std::optional<TPackageContents> ReadPackage(ByteSource& source, const TPackageReading& reading);

// The same from the named file; raises EFOpenError too.
std::optional<TPackageContents> ReadPackageFile(const std::string& path, const TPackageReading& reading);

// The records of `path` when it is an uninstall data file (or any plain
// package file) of the application `appName`. Never raises: a missing or
// broken file is no earlier install.
std::optional<TPackageContents> ReadRecordsOf(const std::string& path, std::string_view appName);
