#include "tools/build/FileContents.h"

#include <algorithm>
#include <map>
#include <string>

#include "system/FileStream.h"
#include "tools/platform/Platform.h"
#include "tools/signature/Digest.h"

namespace {

std::vector<std::uint8_t> Sha256Of(const std::string& path) {
    TFileStream file = TFileStream::OpenRead(Platform::ToNative(path));
    return DigestOf(DigestKind::Sha256, file);
}

// The target as the install would write it, folded so that names which
// could be one file on Windows are one key.
std::string TargetKey(const RecordHead::TFileItem& r) {
    std::string key = r.BaseDir.Text() + '\\' + r.SubDir.Text() + '\\' + r.FileName.Text();
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

}  // namespace

std::vector<std::size_t> FirstWithSameBytes(const std::vector<TPlannedFile>& files) {
    std::vector<std::size_t> first(files.size());
    std::map<std::uint64_t, std::vector<std::size_t>> bySize;
    for (std::size_t i = 0; i < files.size(); ++i) {
        first[i] = i;
        if (files[i].Size > 0) bySize[files[i].Size].push_back(i);
    }
    for (const auto& [size, group] : bySize) {
        if (group.size() < 2) continue;
        std::map<std::vector<std::uint8_t>, std::size_t> seen;
        for (const std::size_t i : group) first[i] = seen.emplace(Sha256Of(files[i].Source), i).first->second;
    }
    return first;
}

std::vector<TContentSource> PlanContentSources(const std::vector<RecordHead::TFileItem>& records,
                                               const std::vector<std::size_t>& firstWithSameBytes) {
    std::vector<TContentSource> plan(records.size());
    std::vector<std::string> keys(records.size());
    std::map<std::string, std::size_t> lastWrite;      // target -> the latest file written there
    std::map<std::size_t, std::size_t> latestHolder;  // content (its first file) -> the latest file holding it
    for (std::size_t i = 0; i < records.size(); ++i) {
        keys[i] = TargetKey(records[i]);
        const std::size_t content = firstWithSameBytes[i];
        if (records[i].Size.Get() > 0) {
            const auto held = latestHolder.find(content);
            if (held != latestHolder.end()) {
                const std::size_t j = held->second;
                if (keys[j] != keys[i] && lastWrite[keys[j]] == j) plan[i] = {false, j};
            }
            latestHolder[content] = i;
        }
        lastWrite[keys[i]] = i;
    }
    return plan;
}
