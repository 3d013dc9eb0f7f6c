#include "tools/pe/VersionResource.h"

#include <charconv>
#include <cstdio>

#include "system/LittleEndian.h"

namespace VersionResource {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedStructVersion = 0x00010000;
constexpr std::uint32_t kFlagsMask = 0x3F;    // VS_FFI_FILEFLAGSMASK
constexpr std::uint32_t kOsWindows32 = 0x40004;  // VOS_NT_WINDOWS32
constexpr std::uint32_t kTypeApplication = 1;   // VFT_APP
constexpr std::uint16_t kBinary = 0, kText = 1;

// Writes the nested blocks of a version resource: each is a length, a value
// length, a type, a NUL-terminated UTF-16 key, and a value and children
// each starting on a 4-byte boundary; the length counts up to the end of the
// last child, without its padding.
class TBlockWriter {
public:
    std::size_t Open(std::u16string_view key, std::uint16_t valueLength, std::uint16_t type) {
        Align();
        const std::size_t start = out_.size();
        Put16(0);
        Put16(valueLength);
        Put16(type);
        PutText(key);
        Align();
        return start;
    }
    void Close(std::size_t start) {
        const std::size_t length = out_.size() - start;
        LittleEndian::Store16(out_, start, static_cast<std::uint16_t>(length));
    }
    void Put16(std::uint16_t v) { LittleEndian::Append16(out_, v); }
    void Put32(std::uint32_t v) { LittleEndian::Append32(out_, v); }
    void PutText(std::u16string_view text) {
        for (char16_t c : text) Put16(c);
        Put16(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

private:
    void Align() {
        while (out_.size() % 4 != 0) out_.push_back(0);
    }
    std::vector<std::uint8_t> out_;
};

std::uint32_t High(const TVersion& v) { return std::uint32_t(v.Parts[0]) << 16 | v.Parts[1]; }
std::uint32_t Low(const TVersion& v) { return std::uint32_t(v.Parts[2]) << 16 | v.Parts[3]; }

void PutFixed(TBlockWriter& w, const std::optional<TVersion>& version) {
    const TVersion v = version.value_or(TVersion{});
    for (std::uint32_t field : {kFixedSignature, kFixedStructVersion, High(v), Low(v), High(v), Low(v), kFlagsMask,
                                0u, kOsWindows32, kTypeApplication, 0u, 0u, 0u})
        w.Put32(field);
}

std::u16string TableKey(std::uint16_t language, std::uint16_t codePage) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%04X%04X", language, codePage);
    return std::u16string(hex, hex + 8);
}

}  // namespace

std::optional<TVersion> ParseVersion(std::string_view text, std::string& problem) {
    TVersion version;
    version.Text = std::string(text);
    std::size_t count = 0;
    for (std::size_t at = 0;;) {
        const std::size_t dot = std::min(text.find('.', at), text.size());
        const std::string_view part = text.substr(at, dot - at);
        unsigned value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size() || part[0] == '+') {
            problem = "version \"" + std::string(text) + "\" is not one to four numbers separated by dots, such as \"4.2.17\"";
            return std::nullopt;
        }
        if (value > 65535) {
            problem = "version \"" + std::string(text) + "\": " + std::string(part) + " is more than 65535";
            return std::nullopt;
        }
        if (count == version.Parts.size()) {
            problem = "version \"" + std::string(text) + "\" has more than four numbers";
            return std::nullopt;
        }
        version.Parts[count++] = static_cast<std::uint16_t>(value);
        if (dot == text.size()) break;
        at = dot + 1;
    }
    return version;
}

std::vector<std::uint8_t> Build(const TVersionInfo& info) {
    TBlockWriter w;
    const std::size_t root = w.Open(u"VS_VERSION_INFO", 52, kBinary);
    PutFixed(w, info.Version);

    const std::size_t strings = w.Open(u"StringFileInfo", 0, kText);
    const std::size_t table = w.Open(TableKey(info.Language, info.CodePage), 0, kText);
    for (const auto& [name, text] : info.Strings) {
        if (text.empty()) continue;
        const std::size_t entry = w.Open(name, static_cast<std::uint16_t>(text.size() + 1), kText);
        w.PutText(text);
        w.Close(entry);
    }
    w.Close(table);
    w.Close(strings);

    const std::size_t vars = w.Open(u"VarFileInfo", 0, kText);
    const std::size_t translation = w.Open(u"Translation", 4, kBinary);
    w.Put16(info.Language);
    w.Put16(info.CodePage);
    w.Close(translation);
    w.Close(vars);
    w.Close(root);
    return w.Take();
}

}  // namespace VersionResource
