// The C library's iconv as the code-page converter.
#include <iconv.h>

#include <map>
#include <memory>

#include "tools/platform/CodePage.h"

namespace CodePage::Native {

namespace {

struct TIconvClose {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, TIconvClose>;

// One converter per code page and direction, opened on first use.
iconv_t Converter(unsigned codePage, bool toPage) {
    static std::map<std::pair<unsigned, bool>, UniqueIconv> open;
    auto& slot = open[{codePage, toPage}];
    if (!slot) {
        const std::string page = "CP" + std::to_string(codePage);
        iconv_t cd = toPage ? iconv_open(page.c_str(), "UTF-32LE") : iconv_open("UTF-32LE", page.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        slot.reset(cd);
    }
    iconv(slot.get(), nullptr, nullptr, nullptr, nullptr);  // a fresh shift state for every call
    return slot.get();
}

// Whole input through `cd`; false when any of it failed to convert.
bool Run(iconv_t cd, std::string in, std::string& out) {
    char buffer[64];
    char* inAt = in.data();
    std::size_t inLeft = in.size();
    for (int round = 0; round < 2; ++round) {  // the input, then the flush
        char* outAt = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = round == 0 ? iconv(cd, &inAt, &inLeft, &outAt, &outLeft)
                                            : iconv(cd, nullptr, nullptr, &outAt, &outLeft);
        if (done == static_cast<std::size_t>(-1) || (round == 0 && inLeft != 0)) return false;
        out.append(buffer, outAt);
    }
    return true;
}

}  // namespace

std::string Encode(unsigned codePage, char32_t c) {
    iconv_t cd = Converter(codePage, true);
    std::string in(4, '\0'), out;
    for (int i = 0; i < 4; ++i) in[i] = static_cast<char>((c >> (8 * i)) & 0xFF);
    if (!cd || !Run(cd, in, out)) return {};
    return out;
}

std::u32string Decode(unsigned codePage, std::string_view unit) {
    iconv_t cd = Converter(codePage, false);
    std::string out;
    if (!cd || !Run(cd, std::string(unit), out) || out.size() % 4 != 0) return {};
    std::u32string result;
    for (std::size_t at = 0; at < out.size(); at += 4) {
        char32_t c = 0;
        for (int i = 3; i >= 0; --i) c = c << 8 | static_cast<unsigned char>(out[at + i]);
        result += c;
    }
    return result;
}

}  // namespace CodePage::Native
