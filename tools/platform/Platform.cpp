#include "tools/platform/Platform.h"

namespace Platform {

std::string TemporaryPathFor(const std::string& outPath) {
    const std::string stem = outPath + ".part-" + std::to_string(ProcessId());
    std::string candidate = stem;
    for (int n = 1; Examine(candidate).Kind != EntryKind::Missing; ++n) candidate = stem + "-" + std::to_string(n);
    return candidate;
}

}  // namespace Platform
