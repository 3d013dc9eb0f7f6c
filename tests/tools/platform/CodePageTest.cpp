#include "tools/platform/CodePage.h"

#include <gtest/gtest.h>

#include "tools/description/PackagePaths.h"

namespace {

constexpr unsigned kPages[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

bool ValidUtf8(const std::string& s) {
    for (std::size_t at = 0; at < s.size();) {
        const auto lead = static_cast<unsigned char>(s[at]);
        const std::size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 99;
        if (extra == 99 || at + extra >= s.size() + (extra == 0 ? 1 : 0)) return false;
        for (std::size_t i = 1; i <= extra; ++i)
            if ((static_cast<unsigned char>(s[at + i]) & 0xC0) != 0x80) return false;
        at += extra + 1;
    }
    return true;
}

TEST(CodePage, WesternTextConvertsBothWaysAndOtherScriptsAreRefused) {
    EXPECT_EQ(CodePage::FromUtf8(1252, "Caf\xC3\xA9 \xE2\x82\xAC").Text, "Caf\xE9 \x80");
    EXPECT_EQ(CodePage::ToUtf8(1252, "Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    const auto cjk = CodePage::FromUtf8(1252, "\xE4\xB8\xAD");
    ASSERT_TRUE(cjk.Bad.has_value());
    EXPECT_EQ(CodePage::CodePointName(*cjk.Bad), "U+4E2D");
    EXPECT_TRUE(CodePage::FromUtf8(1252, "\xC3").InvalidUtf8);
    EXPECT_TRUE(CodePage::FromUtf8(1252, "\xC0\x80").InvalidUtf8);  // overlong
    // The five bytes without a character show as U+FFFD and are no text.
    EXPECT_EQ(CodePage::ToUtf8(1252, "a\x81z"), "a\xEF\xBF\xBDz");
    EXPECT_FALSE(CodePage::ToUtf8Exact(1252, "a\x81z").has_value());
    EXPECT_TRUE(CodePage::FromUtf8(1252, "\xC2\x81").Bad.has_value());  // U+0081 has no printable byte
}

TEST(CodePage, Utf16OfUtf8KeepsPairsAndRefusesMalformedText) {
    EXPECT_EQ(CodePage::Utf8ToUtf16("A\xC3\xA9\xE8\xA1\xA8\xF0\x9F\x98\x80"), std::u16string(u"A\u00E9\u8868\U0001F600"));
    EXPECT_EQ(CodePage::Utf8ToUtf16("\xF0\x9F\x98\x80")->size(), 2u);  // a surrogate pair
    EXPECT_FALSE(CodePage::Utf8ToUtf16("a\xE2\x82").has_value());
    EXPECT_FALSE(CodePage::Utf8ToUtf16("\xED\xA0\x80").has_value());  // a lone surrogate
}

TEST(CodePage, MalformedUtf8IsRefusedAsSuchAndTheFirstMissingCharacterNamed) {
    for (const char* bad : {"\xC3", "a\xE2\x82", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\x80", "\xFF", "\xC3\x28"}) {
        const CodePage::TEncoded c = CodePage::FromUtf8(932, bad);
        EXPECT_TRUE(c.InvalidUtf8) << bad;
        EXPECT_FALSE(c.Bad.has_value()) << bad;
    }
    const CodePage::TEncoded c = CodePage::FromUtf8(1252, "ok \xF0\x9F\x98\x80 then \xE4\xB8\xAD");
    ASSERT_TRUE(c.Bad.has_value());
    EXPECT_EQ(CodePage::CodePointName(*c.Bad), "U+1F600");
    EXPECT_EQ(CodePage::FromUtf8(1252, "\xEF\xBF\xBD").Bad, char32_t(0xFFFD));
}

TEST(CodePage, EachPageWritesOtherScriptsInItsOwnBytes) {
    EXPECT_EQ(CodePage::FromUtf8(932, "\xE8\xA1\xA8\xE3\x82\xBD").Text, "\x95\x5C\x83\x5C");          // 表ソ
    EXPECT_EQ(CodePage::FromUtf8(936, "\xE4\xB8\xAD\xE6\x96\x87").Text, "\xD6\xD0\xCE\xC4");          // 中文
    EXPECT_EQ(CodePage::FromUtf8(949, "\xED\x95\x9C\xEA\xB8\x80").Text, "\xC7\xD1\xB1\xDB");          // 한글
    EXPECT_EQ(CodePage::FromUtf8(950, "\xE4\xB8\xAD\xE6\x96\x87").Text, "\xA4\xA4\xA4\xE5");          // 中文
    EXPECT_EQ(CodePage::FromUtf8(1250, "\xC5\x81\xC3\xB3\xC5\xBA").Text, "\xA3\xF3\x9F");             // Łóź
    EXPECT_EQ(CodePage::FromUtf8(1251, "\xD0\x96").Text, "\xC6");                                     // Ж
    EXPECT_EQ(CodePage::FromUtf8(1253, "\xCE\xA9").Text, "\xD9");                                     // Ω
    EXPECT_EQ(CodePage::FromUtf8(1254, "\xC4\x9E").Text, "\xD0");                                     // Ğ
    EXPECT_EQ(CodePage::FromUtf8(1255, "\xD7\x90").Text, "\xE0");                                     // א
    EXPECT_EQ(CodePage::FromUtf8(1256, "\xD8\xB9").Text, "\xDA");                                     // ع
    EXPECT_EQ(CodePage::FromUtf8(1257, "\xC4\x85").Text, "\xE0");                                     // ą
    EXPECT_EQ(CodePage::FromUtf8(874, "\xE0\xB8\x81").Text, "\xA1");                                  // ก
    // Vietnamese: the decomposed letter has bytes; the precomposed one would
    // need two bytes for one character, which the Windows converter refuses.
    EXPECT_EQ(CodePage::FromUtf8(1258, "e\xCC\x81").Text, "e\xEC");
    EXPECT_TRUE(CodePage::FromUtf8(1258, "\xE1\xBA\xBF").Bad.has_value());
}

TEST(CodePage, RefusesLookAlikesThatWouldChangeAPath) {
    // Shift-JIS converters turn the yen sign into 0x5C, the backslash.
    EXPECT_EQ(CodePage::FromUtf8(932, "\xC2\xA5").Bad, std::optional<char32_t>(0xA5));
    // A fullwidth backslash has no byte in Windows-1252 (best fit would give 0x5C).
    EXPECT_EQ(CodePage::FromUtf8(1252, "\xEF\xBC\xBC").Bad, std::optional<char32_t>(0xFF3C));
    EXPECT_EQ(CodePage::FromUtf8(932, "\xEF\xBC\xBC").Text, "\x81\x5F");
}

TEST(CodePage, EveryCharacterOfEveryPageComesBackAsTheSameBytes) {
    for (const unsigned page : kPages) {
        int characters = 0;
        for (unsigned lead = 0x20; lead <= 0xFF; ++lead) {
            const bool dbcs = CodePage::IsLeadByte(page, static_cast<unsigned char>(lead));
            for (unsigned trail = dbcs ? 0x40 : 0; trail <= (dbcs ? 0xFFu : 0u); ++trail) {
                std::string bytes(1, static_cast<char>(lead));
                if (dbcs) bytes += static_cast<char>(trail);
                const auto text = CodePage::ToUtf8Exact(page, bytes);
                if (!text) continue;
                ++characters;
                const auto back = CodePage::FromUtf8(page, *text);
                ASSERT_TRUE(back.Ok()) << page << " " << std::hex << lead << " " << trail;
                // A few pairs share a character with another pair (duplicates
                // in the vendor tables); those come back as the other pair.
                if (back.Text != bytes) {
                    EXPECT_EQ(CodePage::ToUtf8Exact(page, back.Text), text) << page;
                }
            }
        }
        EXPECT_GT(characters, page >= 1250 || page == 874 ? 180 : 7000) << page;
    }
}

TEST(CodePage, DecodingAlwaysGivesValidUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    all += "\x81";  // a lead byte at the very end
    for (const unsigned page : kPages) EXPECT_TRUE(ValidUtf8(CodePage::ToUtf8(page, all))) << page;
}

TEST(CodePage, BackslashesInsideDoubleByteCharactersDoNotSplit) {
    const std::string path = "\x95\x5C\\a\\\x83\x5C";  // 表\a\ソ
    EXPECT_EQ(CodePage::SplitBackslash(932, path), (std::vector<std::string>{"\x95\x5C", "a", "\x83\x5C"}));
    EXPECT_EQ(CodePage::SplitBackslash(1252, path).size(), 5u);
    EXPECT_EQ(CodePage::LastBackslash(932, "\x95\x5C"), std::string::npos);
    EXPECT_EQ(CodePage::LastBackslash(932, "a\\\x95\x5C"), 1u);
    EXPECT_EQ(CodePage::SplitBackslash(932, ""), std::vector<std::string>{""});
}

TEST(PackagePaths, FolderRulesTreatADoubleByteCharacterAsOne) {
    namespace PP = PackagePaths;
    EXPECT_EQ(PP::SplitLast("a\\\x95\x5C", 932), (std::pair<std::string, std::string>{"a", "\x95\x5C"}));
    EXPECT_EQ(PP::SplitLast("\x95\x5C", 932), (std::pair<std::string, std::string>{"", "\x95\x5C"}));
    EXPECT_EQ(PP::SelfAndAncestors("\x95\x5C\\b", 932), (std::vector<std::string>{"", "\x95\x5C", "\x95\x5C\\b"}));
    EXPECT_EQ(PP::SelfAndAncestors("a\\b", 1252), (std::vector<std::string>{"", "a", "a\\b"}));
    // "ア" is 0x83 0x41 and "ヂ" 0x83 0x61: folding must not make them one.
    EXPECT_FALSE(PP::SameName("\x83\x41", "\x83\x61", 932));
    EXPECT_TRUE(PP::SameName("AB\x83\x41", "ab\x83\x41", 932));
}

}  // namespace
