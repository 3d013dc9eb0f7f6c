#include "tests/driver/DriverParse.h"

#include <gtest/gtest.h>

using namespace driver;

using Words = std::vector<std::string>;

TEST(DriverSplitWords, QuotesGroupTextAndKeepBackslashes) {
    EXPECT_EQ(SplitWords("  click  --text \"&Next >\"\t--id 5 "), (Words{"click", "--text", "&Next >", "--id", "5"}));
    EXPECT_EQ(SplitWords(R"(picker-select "C:\Program Files\" x)"), (Words{"picker-select", R"(C:\Program Files\)", "x"}));
    EXPECT_EQ(SplitWords(R"(echo 'say "hi"' "a ""b"" c" pre"mid"post)"),
              (Words{"echo", "say \"hi\"", "a \"b\" c", "premidpost"}));
    EXPECT_EQ(SplitWords("set-text --value \"\""), (Words{"set-text", "--value", ""}));
}

TEST(DriverSplitWords, CommentsBlankLinesAndBadQuotes) {
    EXPECT_TRUE(SplitWords("   # a comment").empty());
    EXPECT_TRUE(SplitWords("").empty());
    EXPECT_TRUE(SplitWords(" \r\n").empty());
    EXPECT_EQ(SplitWords("echo #not-a-comment"), (Words{"echo", "#not-a-comment"}));
    EXPECT_THROW(SplitWords("echo \"open"), UsageError);
    EXPECT_THROW(SplitWords("echo 'open"), UsageError);
}

TEST(DriverParseOptions, ValuesFlagsAndPositionals) {
    const std::vector<OptionRule> accepted = {{"title", true}, {"mouse", false}, {"timeout", true}};
    const Options o = ParseOptions({"OK", "--title", "Setup", "--mouse", "--timeout=2.5", "more"}, accepted);
    EXPECT_EQ(o.Get("title"), "Setup");
    EXPECT_TRUE(o.Has("mouse"));
    EXPECT_DOUBLE_EQ(*o.GetSeconds("timeout"), 2.5);
    EXPECT_EQ(o.Positional(), (Words{"OK", "more"}));
    EXPECT_FALSE(o.Has("hwnd"));
    // A lone "--" or "-x" is a positional word, not an option.
    EXPECT_EQ(ParseOptions({"--", "-x"}, accepted).Positional(), (Words{"--", "-x"}));
}

TEST(DriverParseOptions, RejectsWhatTheCommandDoesNotTake) {
    const std::vector<OptionRule> accepted = {{"title", true}, {"mouse", false}};
    EXPECT_THROW(ParseOptions({"--colour", "red"}, accepted), UsageError);
    EXPECT_THROW(ParseOptions({"--title"}, accepted), UsageError);
    EXPECT_THROW(ParseOptions({"--mouse=yes"}, accepted), UsageError);
    EXPECT_THROW(ParseOptions({"--title", "a", "--title", "b"}, accepted), UsageError);
    const Options bad = ParseOptions({"--title", "x"}, accepted);
    EXPECT_THROW(bad.GetInteger("title"), UsageError);
    EXPECT_THROW(bad.GetSeconds("title"), UsageError);
}

TEST(DriverParseInteger, DecimalAndHexadecimal) {
    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("-3"), -3);
    EXPECT_EQ(ParseInteger("0x0001002A"), 0x1002A);
    EXPECT_EQ(ParseInteger("0XfF"), 255);
    EXPECT_FALSE(ParseInteger(""));
    EXPECT_FALSE(ParseInteger("0x"));
    EXPECT_FALSE(ParseInteger("12ab"));
}

TEST(DriverParseKey, NamesModifiersAndCharacters) {
    const KeyStroke altF4 = ParseKey("Alt+F4");
    EXPECT_EQ(altF4.virtualKey, 0x73);
    EXPECT_TRUE(altF4.alt);
    EXPECT_FALSE(altF4.ctrl || altF4.shift);
    const KeyStroke shiftTab = ParseKey("shift+TAB");
    EXPECT_EQ(shiftTab.virtualKey, 0x09);
    EXPECT_TRUE(shiftTab.shift);
    EXPECT_EQ(ParseKey("Enter").virtualKey, 0x0D);
    EXPECT_EQ(ParseKey("Escape").virtualKey, 0x1B);
    EXPECT_EQ(ParseKey("space").virtualKey, 0x20);
    EXPECT_EQ(ParseKey("F12").virtualKey, 0x7B);
    EXPECT_EQ(ParseKey("Alt+n").virtualKey, 'N');
    EXPECT_EQ(ParseKey("7").virtualKey, '7');
    const KeyStroke all = ParseKey("Ctrl+Alt+Shift+Down");
    EXPECT_TRUE(all.ctrl && all.alt && all.shift);
    EXPECT_EQ(all.virtualKey, 0x28);
}

TEST(DriverParseKey, UnknownKeysAndModifiersAreUsageErrors) {
    EXPECT_THROW(ParseKey("F25"), UsageError);
    EXPECT_THROW(ParseKey("Hyper+A"), UsageError);
    EXPECT_THROW(ParseKey("Alt+"), UsageError);
    EXPECT_THROW(ParseKey(""), UsageError);
    EXPECT_THROW(ParseKey("ab"), UsageError);
}

TEST(DriverText, AccessMarkersAndQuoting) {
    EXPECT_EQ(StripAccessMarker("&Yes"), "Yes");
    EXPECT_EQ(StripAccessMarker("Save && E&xit"), "Save & Exit");
    EXPECT_EQ(StripAccessMarker("trailing&"), "trailing");
    EXPECT_EQ(Quote("C:\\a \"b\"\r\n\x01"), "\"C:\\\\a \\\"b\\\"\\r\\n\\x01\"");
}

TEST(DriverWindowNaming, AnyProcessWantsTheWindowOrItsProcessNamed) {
    const std::vector<OptionRule> window = {{"title", true}, {"title-contains", true}, {"class", true},
                                            {"pid", true},   {"hwnd", true},           {"any-process", false}};
    auto check = [&](const Words& words) { CheckAnyProcessNamesWindow(ParseOptions(words, window)); };
    EXPECT_THROW(check({"--class", "#32770", "--any-process"}), UsageError);
    EXPECT_THROW(check({"--any-process"}), UsageError);
    EXPECT_NO_THROW(check({"--class", "#32770"}));
    for (const char* name : {"--title", "--title-contains", "--pid", "--hwnd"})
        EXPECT_NO_THROW(check({"--class", "#32770", name, "7", "--any-process"})) << name;
}
