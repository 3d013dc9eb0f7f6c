// The package reading of the programs that install or inspect packages:
// both forms, the compressed one's tables through the zstd decoder, and the
// signed-part rules. It lives beside the decoder so that a program that
// reads only plain data files (the uninstaller) links neither.
#pragma once

#include <memory>

#include "package/CompressedForm.h"
#include "package/PackageReader.h"
#include "package/SignedPart.h"
#include "system/ByteStream.h"

// Reads the stream record and the CRC table of the compressed form whose
// trailer is `header` into `stream` and checks them (with `signedPart`, also
// that the stream, the CRC table, the record and the tables frame lie inside
// the signed part), all before anything is allocated for the tables. Returns
// the tables frame decoded as a source of FileOffset plus the tables' bytes,
// which gives the tables in order at the trailer's offsets: a seek elsewhere,
// a frame that ends early or holds more raise EReadError. Raises EReadError
// (a damaged or unreadable form), ERangeError (a negative count) or
// ESignatureError.
std::unique_ptr<ByteSource> OpenTablesFrame(ByteSource& source, const RecordHead::TPackHeader& header,
                                            const SignedPart::TSignature* signedPart,
                                            CompressedForm::TStreamInfo& stream);

inline constexpr TPackageReading kFullReading{OpenTablesFrame, SignedPart::OfPackage};
