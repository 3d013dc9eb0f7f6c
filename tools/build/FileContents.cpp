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
    TDigest digest(DigestKind::Sha256);
    std::vector<std::uint8_t> buffer(1u << 20);
    while (const std::size_t got = file.Read(buffer.data(), buffer.size())) digest.Update(buffer.data(), got);
    return digest.Final();
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
