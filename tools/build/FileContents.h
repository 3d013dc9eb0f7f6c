// Each distinct content of a package once: which planned files hold the
// same bytes as an earlier one, and, for the compressed form, where each
// file's bytes come from when the setup program installs the files in table
// order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/description/PackagePlan.h"

// For each file, the first file of the plan with the same bytes (the file
// itself when none before it has them). Sizes are compared first; only files
// whose size another shares are read, for a SHA-256 of each. Empty files are
// their own. Raises EFOpenError or EReadError for a file that cannot be read.
std::vector<std::size_t> FirstWithSameBytes(const std::vector<TPlannedFile>& files);

// Where the compressed form takes each file's bytes from. A file whose bytes
// an earlier one had is a copy of the latest earlier file with them, as long
// as that one's target is not the file's own and no file between them
// replaces it (targets compared without regard to ASCII case, so two names
// that might be one file are taken for one); otherwise its bytes go into the
// stream again.
struct TContentSource {
    bool Streamed = true;  // false: a copy of `From`'s bytes
    std::size_t From = 0;
};
std::vector<TContentSource> PlanContentSources(const std::vector<RecordHead::TFileItem>& records,
                                               const std::vector<std::size_t>& firstWithSameBytes);
