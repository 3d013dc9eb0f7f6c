#include "tools/description/TomlPrecheck.h"

#include <gtest/gtest.h>

namespace {
std::pair<std::uint32_t, std::uint32_t> Find(std::string_view text) {
    const TTextProblem p = PrecheckToml(text);
    return {p.Line, p.Column};
}
using Place = std::pair<std::uint32_t, std::uint32_t>;
}  // namespace

TEST(TomlPrecheck, NonAsciiInStringsAndCommentsIsFine) {
    EXPECT_EQ(Find("name = \"Caf\xC3\xA9\"  # caf\xC3\xA9\n"), Place(0, 0));
    EXPECT_EQ(Find("a = 'caf\xC3\xA9'\nb = '''x\n\xC3\xA9'''\nc = \"\"\"\n\xC3\xA9\"\"\"\n"), Place(0, 0));
    EXPECT_EQ(Find("\"k\xC3\xA9y\" = 1\n"), Place(0, 0)) << "quoted keys are strings";
    EXPECT_EQ(Find("\xEF\xBB\xBFname = \"x\"\n"), Place(0, 0)) << "a byte-order mark";
    EXPECT_EQ(Find("a = \"esc \\\" still \xC3\xA9\"\n"), Place(0, 0));
    EXPECT_EQ(Find("a = \"\"\"x \\\"\"\" \xC3\xA9 \"\"\"\n"), Place(0, 0)) << "an escaped quote does not end it";
}

TEST(TomlPrecheck, NonAsciiElsewhereIsFoundWithLineAndColumn) {
    EXPECT_EQ(Find("\xCD\xBF# comment\n"), Place(1, 1));
    EXPECT_EQ(Find("[package]\nnam\xC3\xA9 = \"x\"\n"), Place(2, 4));
    EXPECT_EQ(Find("x = 1\xC3\xA9\n"), Place(1, 6));
    EXPECT_EQ(Find("a = \"unterminated\nb\xC3\xA9 = 1\n"), Place(2, 2)) << "a one-line string ends at its line";
}

TEST(TomlPrecheck, BackslashBeforeNonAsciiInMultiLineBasicStrings) {
    EXPECT_EQ(Find("a = \"\"\"x \\\xC3\xA9\"\"\"\n"), Place(1, 11));
    EXPECT_EQ(Find("a = \"\"\"x \\\n   \xC3\xA9\"\"\"\n"), Place(2, 4));
    EXPECT_EQ(Find("a = \"\"\"x \\\n   y\xC3\xA9\"\"\"\n"), Place(0, 0));
}

TEST(TomlPrecheck, AQuoteWhereNoValueStartsOpensNoString) {
    // The parser gives up at "+" and examines the rest of the line as bare
    // text, so the byte-order mark there is outside any string.
    const auto place = PrecheckToml("[[shell]]\ntarget = +\"Demo.ex\xEF\xBB\xBF\"\n");
    EXPECT_EQ(place.Line, 2u);
    EXPECT_EQ(place.Column, 19u);
    EXPECT_EQ(PrecheckToml("a = \"x\"\"\xC3\xA9\"\n").Line, 1u);
    // Where values and keys may start, quotes open strings as before.
    for (const char* fine : {"\"k\xC3\xA9\" = 1\n", "a.\"b\xC3\xA9\" = 1\n", "a = [\"\xC3\xA9\",\n  '\xC3\xA9' ]\n",
                             "t = { x = \"\xC3\xA9\" }\n", "# c\n\"\xC3\xA9\" = 2\n", "[\"\xC3\xA9\"]\r\n\"\xC3\xA9\" = 1\n"})
        EXPECT_EQ(PrecheckToml(fine).Line, 0u) << fine;
}

TEST(TomlPrecheck, AKeyOfTooManyDottedPartsIsFoundAtTheDotTooMany) {
    auto dotted = [](std::uint32_t parts) {
        std::string key = "a";
        for (std::uint32_t i = 1; i < parts; ++i) key += ".a";
        return key;
    };
    const std::string most = dotted(kMaxKeyParts);
    const std::string fine = most + " = 1\n[" + most + "]\nt = { " + most + " = 2, " + most + " = 3 }\n" +
                             "v = [1.5, 2.5]\nw = \"" + dotted(200) + "\"\nx = '" + dotted(200) + "' # " + dotted(200) + "\n";
    EXPECT_EQ(PrecheckToml(fine).Line, 0u);
    for (const std::string& text : {"a = 1\n" + dotted(kMaxKeyParts + 1) + " = 1\n", "a = 1\n[" + dotted(200000) + "]\n",
                                    "a = 1\nt = { b = 1, " + dotted(kMaxKeyParts + 1) + " = 2 }\n"}) {
        const TTextProblem p = PrecheckToml(text);
        EXPECT_EQ(p.Kind, TTextProblem::EKind::LongKey) << text.substr(0, 80);
        EXPECT_EQ(p.Line, 2u);
        EXPECT_EQ(text[text.find('\n') + p.Column], '.') << "the column names the dot";
    }
}

TEST(TomlPrecheck, Utf16IsToldFromUtf8) {
    EXPECT_TRUE(LooksLikeUtf16(std::string("\xFF\xFE[\0p\0", 6)));
    EXPECT_TRUE(LooksLikeUtf16(std::string("\xFE\xFF\0[\0p", 6)));
    EXPECT_TRUE(LooksLikeUtf16(std::string("[\0p\0", 4)));
    EXPECT_TRUE(LooksLikeUtf16(std::string("\0[\0p", 4)));
    EXPECT_FALSE(LooksLikeUtf16("\xEF\xBB\xBF[package]\n"));
    EXPECT_FALSE(LooksLikeUtf16("[package]\n"));
    EXPECT_FALSE(LooksLikeUtf16(""));
}
