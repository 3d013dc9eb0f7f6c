#include "tools/AnsiText.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiText, ConvertsBothWaysAndRefusesTheRest) {
    EXPECT_EQ(AnsiText::FromUtf8("Caf\xC3\xA9 \xE2\x82\xAC").Text, "Caf\xE9 \x80");
    EXPECT_EQ(AnsiText::ToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    const auto cjk = AnsiText::FromUtf8("\xE4\xB8\xAD");
    ASSERT_TRUE(cjk.Bad.has_value());
    EXPECT_EQ(AnsiText::CodePointName(*cjk.Bad), "U+4E2D");
    for (int b = 0x20; b < 0x100; ++b) {
        const std::string one(1, static_cast<char>(b));
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
        EXPECT_EQ(AnsiText::FromUtf8(AnsiText::ToUtf8(one)).Text, one) << b;
    }
}

TEST(AnsiText, TheFiveBytesWithoutACharacterShowAsTheReplacementCharacter) {
    for (const char b : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_EQ(AnsiText::ToUtf8(std::string(1, b)), "\xEF\xBF\xBD") << int(static_cast<unsigned char>(b));
    // ...and the replacement character itself has no Windows-1252 byte.
    EXPECT_EQ(AnsiText::FromUtf8("\xEF\xBF\xBD").Bad, char32_t(0xFFFD));
}

TEST(AnsiText, MalformedUtf8IsRefusedAsSuch) {
    for (const char* bad : {"\xC3", "a\xE2\x82", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\x80", "\xFF", "\xC3\x28"}) {
        const AnsiText::TConversion c = AnsiText::FromUtf8(bad);
        EXPECT_TRUE(c.InvalidUtf8) << bad;
        EXPECT_FALSE(c.Bad.has_value()) << bad;
    }
}

TEST(AnsiText, TheFirstCharacterOutsideTheCodePageIsNamed) {
    const AnsiText::TConversion c = AnsiText::FromUtf8("ok \xF0\x9F\x98\x80 then \xE4\xB8\xAD");
    EXPECT_FALSE(c.InvalidUtf8);
    ASSERT_TRUE(c.Bad.has_value());
    EXPECT_EQ(AnsiText::CodePointName(*c.Bad), "U+1F600");
    EXPECT_EQ(AnsiText::CodePointName(0x41), "U+0041");
}

}  // namespace
