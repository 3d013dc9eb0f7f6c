#include "tools/pe/VersionResource.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/tools/pe/PeTestImage.h"

namespace {

using VersionResource::ParseVersion;

TEST(VersionResource, TakesOneToFourNumbersAndRefusesTheRest) {
    const std::vector<std::pair<std::string, std::array<std::uint16_t, 4>>> good = {
        {"4.2.17", {4, 2, 17, 0}}, {"7", {7, 0, 0, 0}}, {"1.2.3.4", {1, 2, 3, 4}}, {"65535.0.0.65535", {65535, 0, 0, 65535}}};
    for (const auto& [text, parts] : good) {
        std::string problem;
        const auto v = ParseVersion(text, problem);
        ASSERT_TRUE(v) << text << ": " << problem;
        EXPECT_EQ(v->Parts, parts) << text;
        EXPECT_EQ(v->Text, text);
    }
    for (const char* bad : {"1.x", "", "1..2", "1.2.3.4.5", "65536", "+1", "-1", "1.2 ", " 1", "1.", ".1", "v1"}) {
        std::string problem;
        EXPECT_FALSE(ParseVersion(bad, problem)) << '"' << bad << '"';
        EXPECT_NE(problem.find("version \"" + std::string(bad) + "\""), std::string::npos) << problem;
    }
}

// Walks the blocks of a version resource as VerQueryValue does: length,
// value length, type, key, value and children on 4-byte boundaries.
struct TBlock {
    std::u16string Key;
    std::size_t ValueAt = 0, ValueLength = 0, End = 0;
    std::vector<TBlock> Children;
};

TBlock ReadBlock(const Bytes& b, std::size_t at) {
    TBlock block;
    block.End = at + Load16(b, at);
    const std::uint16_t valueLength = Load16(b, at + 2), type = Load16(b, at + 4);
    std::size_t p = at + 6;
    for (; Load16(b, p) != 0; p += 2) block.Key += static_cast<char16_t>(Load16(b, p));
    p = (p + 2 + 3) / 4 * 4;
    block.ValueAt = p;
    block.ValueLength = type == 1 ? valueLength * 2u : valueLength;
    p = (p + block.ValueLength + 3) / 4 * 4;
    while (p < block.End) {
        block.Children.push_back(ReadBlock(b, p));
        p = (block.Children.back().End + 3) / 4 * 4;
    }
    return block;
}

std::u16string TextAt(const Bytes& b, const TBlock& s) {
    std::u16string text;
    for (std::size_t p = s.ValueAt; p + 2 < s.ValueAt + s.ValueLength; p += 2) text += static_cast<char16_t>(Load16(b, p));
    EXPECT_EQ(Load16(b, s.ValueAt + s.ValueLength - 2), 0) << "not NUL-terminated";
    return text;
}

TEST(VersionResource, BuildsTheFixedVersionsTheStringTableAndTheTranslation) {
    std::string problem;
    VersionResource::TVersionInfo info;
    info.Version = ParseVersion("4.2.17.3", problem);
    info.Strings = {{u"CompanyName", u"Ann Author"}, {u"LegalCopyright", u""}, {u"ProductName", u"D\u00e9mo"}};
    const Bytes b = VersionResource::Build(info);

    const TBlock root = ReadBlock(b, 0);
    EXPECT_EQ(root.End, b.size());
    EXPECT_EQ(root.Key, u"VS_VERSION_INFO");
    ASSERT_EQ(root.ValueLength, 52u);
    EXPECT_EQ(Load32(b, root.ValueAt), 0xFEEF04BDu);
    EXPECT_EQ(Load32(b, root.ValueAt + 8), 0x00040002u);   // file version, high
    EXPECT_EQ(Load32(b, root.ValueAt + 12), 0x00110003u);  // file version, low
    EXPECT_EQ(Load32(b, root.ValueAt + 16), 0x00040002u);  // product version
    EXPECT_EQ(Load32(b, root.ValueAt + 20), 0x00110003u);
    EXPECT_EQ(Load32(b, root.ValueAt + 36), 1u);           // an application

    ASSERT_EQ(root.Children.size(), 2u);
    const TBlock& strings = root.Children[0];
    EXPECT_EQ(strings.Key, u"StringFileInfo");
    ASSERT_EQ(strings.Children.size(), 1u);
    EXPECT_EQ(strings.Children[0].Key, u"040904B0");
    std::map<std::u16string, std::u16string> found;
    for (const TBlock& s : strings.Children[0].Children) found[s.Key] = TextAt(b, s);
    EXPECT_EQ(found, (std::map<std::u16string, std::u16string>{{u"CompanyName", u"Ann Author"},
                                                               {u"ProductName", u"D\u00e9mo"}}));
    const TBlock& vars = root.Children[1];
    EXPECT_EQ(vars.Key, u"VarFileInfo");
    ASSERT_EQ(vars.Children.size(), 1u);
    EXPECT_EQ(vars.Children[0].Key, u"Translation");
    EXPECT_EQ(Load32(b, vars.Children[0].ValueAt), 0x04B00409u);

    VersionResource::TVersionInfo none;
    const Bytes unversioned = VersionResource::Build(none);
    const TBlock bare = ReadBlock(unversioned, 0);
    EXPECT_EQ(Load32(unversioned, bare.ValueAt + 8), 0u);
    EXPECT_EQ(Load32(unversioned, bare.ValueAt + 12), 0u);
}

}  // namespace
