// `extract`: writes the files of a package below a folder, as
// FOLDER/<BaseDir>/<SubDir>/<FileName>. A package is untrusted input: every
// name is checked before anything is written, and a name that could leave
// the folder refuses that entry only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/RecordHead.h"
#include "system/ByteStream.h"

class TSafeFolder;

struct TExtractEntry {
    std::size_t Index = 0;
    std::string Name;                // BaseDir\SubDir\FileName as stored, as UTF-8 for messages
    std::vector<std::string> Parts;  // the base keyword, the folders and the file name (UTF-8)
    std::string Problem;             // why the entry is refused; empty when it is written
    std::uint32_t Offset = 0, Size = 0;
    std::optional<std::size_t> ReplacedBy;  // a later entry with the same target wins, as in an install

    bool Refused() const { return !Problem.empty(); }
    bool Written() const { return !Refused() && !ReplacedBy; }
    // "InstallDir/data/big.bin"
    std::string Target() const;
};

// Checks every file entry's names (decoded from `codePage`) and data range
// (`dataSize`, the size of the file that holds the data). Targets that differ
// only in case are one target, as on Windows: the first spelling of a folder
// is kept for the later entries.
std::vector<TExtractEntry> PlanExtraction(const std::vector<RecordHead::TFileItem>& files, unsigned codePage,
                                          std::uint64_t dataSize);

struct TExtractResult {
    std::size_t Written = 0;
    std::uint64_t Bytes = 0;
    std::vector<std::string> Failures;  // "entry N "NAME": reason", one per entry that could not be written
};

using TExtractProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Streams each entry that is written from `data` into `folder`. A failure of
// one entry is recorded and the others go on; errors reading `data` end the
// run (raised as the core's read errors).
TExtractResult ExtractFiles(const std::vector<TExtractEntry>& plan, ByteSource& data, TSafeFolder& folder,
                            const TExtractProgress& progress = {});
