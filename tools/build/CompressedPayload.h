// The compressed package form: each file's bytes through one zstd stream
// (each distinct content once, where the setup program can copy it back from
// an earlier file), the CRC-32 of each file, the stream record, then the four
// tables as one more zstd frame, which the trailer's table offsets place as
// if it were decoded in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageWriter.h"
#include "tools/build/FileContents.h"
#include "tools/description/PackagePlan.h"

// Puts the files in the order the stream holds them best: by the name's
// extension, then by name, both without regard to ASCII case, so that
// contents alike (every "copyright", every ".html") lie within the
// compressor's window of each other. The sort is stable and files of the
// same name keep their order, so a later file still replaces an earlier one
// at the same target.
void OrderForStream(std::vector<TPlannedFile>& files);

// Writes the stream and the CRC table and returns the stream record that
// locates them. Sets each file's Offset in the decoded data, taking each
// file's bytes from where `sources` says; `advanced` hears how many bytes of
// source were read since it was last called. Raises EBuildError (a source
// that changes while it is packed, a compressor failure), or the error of the
// file that cannot be read.
CompressedForm::TStreamRecord WriteCompressedData(PackageWriter& writer, std::vector<TPlannedFile>& files,
                                                  TCompression compression, const std::vector<TContentSource>& sources,
                                                  const std::function<void(std::uint64_t)>& advanced);

// Writes `record` and the tables frame after it; returns `header` with the
// tables' counts and the offsets they have in the decoded frame. Raises
// EBuildError for tables larger than the setup program holds.
RecordHead::TPackHeader WriteCompressedTables(PackageWriter& writer, RecordHead::TPackHeader header,
                                              CompressedForm::TStreamRecord record, PackageTablesView tables,
                                              TCompression compression);
