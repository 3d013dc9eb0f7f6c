// The file data of the compressed package form: each file's bytes through
// one zstd stream (each distinct content once, where the setup program can
// copy it back from an earlier file), then the CRC-32 of each file and the
// stream record, so that the file table written next begins where the
// record ends.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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

// Sets each file's Offset in the decoded data, taking each file's bytes
// from where `sources` says; `advanced` hears how many bytes of source were
// read since it was last called. Raises EBuildError
// (a source that changes while it is packed, a compressor failure), or the
// error of the file that cannot be read.
void WriteCompressedData(PackageWriter& writer, std::vector<TPlannedFile>& files, TCompression compression,
                         const std::vector<TContentSource>& sources,
                         const std::function<void(std::uint64_t)>& advanced);
