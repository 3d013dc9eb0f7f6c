// Each distinct content of a package once: which planned files hold the
// same bytes as an earlier one.
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
