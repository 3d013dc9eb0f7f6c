#include "package/SignedPart.h"

#include <array>
#include <cstring>

#include "package/PeImage.h"

namespace SignedPart {

std::optional<std::uint64_t> End(ByteSource& source) {
    const PeImage::DataDirectory table = PeImage::ReadCertificateDirectory(source);
    if (table.address == 0 || table.size == 0) return std::nullopt;
    if (std::uint64_t(table.address) + table.size > source.Size()) return std::nullopt;
    return table.address;
}

std::optional<std::uint64_t> FindTrailer(ByteSource& source, std::uint64_t signedEnd,
                                         const RecordHead::TPackHeader* equalTo) {
    constexpr std::size_t header = sizeof(RecordHead::TPackHeader);
    constexpr std::size_t padding = TableAlignment - 1;
    std::array<std::uint8_t, header + padding> window{};
    if (signedEnd < header || signedEnd > source.Size()) return std::nullopt;
    // The window ends at signedEnd; near the start of the file it is shorter.
    const std::size_t length = signedEnd < window.size() ? static_cast<std::size_t>(signedEnd) : window.size();
    const std::uint64_t start = signedEnd - length;
    source.Seek(start);
    source.ReadExact(window.data(), length);
    for (std::size_t zeros = 0; zeros <= padding && zeros + header <= length; ++zeros) {
        if (zeros > 0 && window[length - zeros] != 0) break;
        RecordHead::TPackHeader candidate;
        std::memcpy(&candidate, &window[length - zeros - header], header);
        if (!RecordHead::IsValidHeader(candidate)) continue;
        if (equalTo && std::memcmp(&candidate, equalTo, header) != 0) continue;
        return start + (length - zeros - header);
    }
    return std::nullopt;
}

}  // namespace SignedPart
