// A package's file data in either form, for list, verify and extract: the
// bytes records share, the compressed stream checked against each file's
// CRC-32, and the decoded data as a byte source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/PackageReader.h"
#include "system/ByteStream.h"
#include "system/FileStream.h"
#include "tools/platform/Platform.h"

// "plain" or "compressed: ...", for the listing.
std::string FormText(const TPackageContents& package);

// Decodes the whole stream of a compressed package: the records must follow
// it (each next content, or a repeat of an earlier one), every file's bytes
// must match its CRC-32, and the stream must end with its last content.
// Appends what is wrong to `problems`; returns the summary when all is well.
std::string CheckStream(ByteSource& file, const TPackageContents& package, std::vector<std::string>& problems);

// The decoded data of a compressed package, written to a temporary file that
// goes with this object: the records' Offset and Size count in it. Raises
// EReadError for a damaged stream, EFCreateError when no temporary file can
// be made.
class TDecodedData {
public:
    TDecodedData(ByteSource& file, const CompressedForm::TStreamInfo& stream);
    ByteSource& Source() { return data_.File(); }

private:
    TTemporaryFile data_;  // never committed: it goes with this object, or with a constructor that fails
    Platform::TRemovedOnInterrupt interrupted_;
};
