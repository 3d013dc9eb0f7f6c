#include "tools/platform/Platform.h"

namespace Platform {

std::string TemporaryPathFor(const std::string& outPath) {
    const std::string stem = outPath + ".part-" + std::to_string(ProcessId());
    std::string candidate = stem;
    for (int n = 1; Examine(candidate).Kind != EntryKind::Missing; ++n) candidate = stem + "-" + std::to_string(n);
    return candidate;
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::optional<TFileId> x = Identify(a);
    return x && x == Identify(b);
}

}  // namespace Platform
