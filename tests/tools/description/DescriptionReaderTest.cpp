#include "tools/description/DescriptionReader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "tests/tools/ToolTestFiles.h"

namespace {

// One description file in a scratch folder, read through the reader.
class DescriptionReaderTest : public ::testing::Test {
protected:
    std::optional<toml::table> Parse(const std::string& toml, std::map<std::string, std::string> defines = {}) {
        WriteFileBytes(dir.Path() / "d.toml", TextBytes(toml));
        reader.emplace(dir.File("d.toml"), std::move(defines), out);
        return reader->Parse();
    }

    TempDir dir;
    TDiagnostics out;
    std::optional<TDescriptionReader> reader;
};

TEST_F(DescriptionReaderTest, FilesThatCannotBeReadOrAreNotTomlAreRefusedWithTheirLine) {
    reader.emplace(dir.File("none.toml"), std::map<std::string, std::string>{}, out);
    EXPECT_FALSE(reader->Parse());
    EXPECT_TRUE(Reports(out, true, 0, "none.toml")) << ErrorsOf(out);

    out = {};
    EXPECT_FALSE(Parse("a = 1\n\nb = \"open\n"));
    EXPECT_TRUE(Reports(out, true, 3, "")) << ErrorsOf(out);

    // A table header whose name starts with a character no key can start
    // with breaks one of toml++'s internal assertions; it is still an error
    // at its line, in every build.
    out = {};
    EXPECT_FALSE(Parse("[package]\nname = \"x\"\n\n[[)ile]]\n"));
    EXPECT_TRUE(Reports(out, true, 4, "saw ')'")) << ErrorsOf(out);

    out = {};
    EXPECT_FALSE(Parse("# caf\xC3\xA9\nname = \"caf\xC3\xA9\"\nn\xC3\xA4me = 1\n"));
    EXPECT_TRUE(Reports(out, true, 3, "non-ASCII text at column 2 outside a quoted string or a comment")) << ErrorsOf(out);
}

TEST_F(DescriptionReaderTest, TextThatWouldCrashOrSlowTheParserIsRefusedWithItsLine) {
    // 200,000 dotted parts once overflowed the parser's stack.
    std::string deep = "[package]\nname = \"x\"\na";
    for (int i = 0; i < 200000; ++i) deep += ".a";
    EXPECT_FALSE(Parse(deep + " = 1\n"));
    EXPECT_TRUE(Reports(out, true, 3, "a key of more than 64 dotted parts (at column 128)")) << ErrorsOf(out);

    out = {};
    const std::u16string utf16 = u"\uFEFF[package]\nname = \"x\"\n";
    EXPECT_FALSE(Parse(std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2)));
    EXPECT_TRUE(Reports(out, true, 1, "the description is UTF-16 text; save it as UTF-8")) << ErrorsOf(out);

    // An unknown key of a megabyte is named by its first characters, not echoed whole.
    out = {};
    const auto root = Parse("[package]\n" + std::string(1 << 20, 'k') + " = 1\n");
    ASSERT_TRUE(root) << ErrorsOf(out);
    TEntry(*reader, *(*root)["package"].as_table(), "[package]", {"name"});
    ASSERT_EQ(out.Items().size(), 1u);
    EXPECT_EQ(out.Items()[0].Text, "unknown key \"" + std::string(37, 'k') + "...\" in [package]");
}

TEST_F(DescriptionReaderTest, ADescriptionOver16MiBIsRefusedBeforeItIsRead) {
    const std::string path = dir.File("d.toml");
    { std::ofstream(path, std::ios::binary).put('#'); }
    ASSERT_EQ(::truncate(path.c_str(), (16 << 20) + 1), 0);  // sparse: only its size matters
    reader.emplace(path, std::map<std::string, std::string>{}, out);
    EXPECT_FALSE(reader->Parse());
    EXPECT_TRUE(Reports(out, true, 0, "16777217 bytes, more than a description can be")) << ErrorsOf(out);
}

TEST_F(DescriptionReaderTest, TopLevelTablesMustBeKnownAndOfTheirKind) {
    const auto root = Parse("package = [1]\nfile = 3\n[[packages]]\n[[xyzzy]]\n[[folder]]\n");
    ASSERT_TRUE(root) << ErrorsOf(out);
    reader->CheckTopLevel(*root, {"package"}, {"folder", "file"});
    EXPECT_TRUE(Reports(out, true, 1, "\"package\" must be a table: write [package]")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 2, "\"file\" must be a list of tables: write [[file]]")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 3, "unknown table \"packages\"; did you mean \"package\"?")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 4, "unknown table \"xyzzy\"")) << ErrorsOf(out);
    EXPECT_FALSE(Reports(out, true, 4, "did you mean")) << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 4u) << ErrorsOf(out);
}

TEST_F(DescriptionReaderTest, EntriesGiveTypedValuesAndNameWhatIsWrongAtItsLine) {
    const auto root = Parse("[[e]]\ns = \"v ${X}\"\nn = 3\nb = true\nFLAG = 1\nsorce = \"x\"\n", {{"X", "1"}});
    ASSERT_TRUE(root) << ErrorsOf(out);
    int entries = 0;
    reader->ForEach(*root, "e", {"s", "n", "b", "flag", "source", "r"}, [&](TEntry& e) {
        ++entries;
        EXPECT_EQ(e.What(), "[[e]]");
        EXPECT_EQ(e.Text("s"), "v 1");
        EXPECT_EQ(e.Text("absent"), std::nullopt);
        EXPECT_EQ(e.Text("n"), std::nullopt);
        EXPECT_EQ(e.Flag("b"), true);
        EXPECT_EQ(e.Flag("n"), std::nullopt);
        EXPECT_EQ(e.Required("r"), std::nullopt);
        EXPECT_EQ(e.At("b").Line, 4u);
        EXPECT_EQ(e.At("absent").Line, 1u);  // the table's own line
    });
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(Reports(out, true, 5, "unknown key \"FLAG\" in [[e]]; did you mean \"flag\"?")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 6, "did you mean \"source\"?")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 3, "\"n\" in [[e]] must be a string")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 3, "\"n\" in [[e]] must be true or false")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 1, "[[e]] needs \"r\"")) << ErrorsOf(out);
    EXPECT_EQ(out.Items().size(), 5u) << ErrorsOf(out);
}

TEST_F(DescriptionReaderTest, ListsWrittenAsOtherKindsAreSkipped) {
    const auto root = Parse("e = 1\n");
    ASSERT_TRUE(root);
    int entries = 0;
    reader->ForEach(*root, "e", {}, [&](TEntry&) { ++entries; });
    reader->ForEach(*root, "missing", {}, [&](TEntry&) { ++entries; });
    EXPECT_EQ(entries, 0);
}

TEST_F(DescriptionReaderTest, DefinitionsAddedLaterDoNotReplaceTheGivenOnes) {
    ASSERT_TRUE(Parse("", {{"A", "given"}}));
    reader->Define("A", "later");
    reader->Define("B", "new");
    EXPECT_EQ(reader->Substitute("${A} ${B}", {"d.toml", 2}), "given new");
    EXPECT_EQ(reader->Substitute("${C}", {"d.toml", 2}), std::nullopt);
    EXPECT_TRUE(Reports(out, true, 2, "${C} is not defined: give --define C=VALUE")) << ErrorsOf(out);
}

TEST(DescriptionDefines, SubstitutionRules) {
    const std::map<std::string, std::string> defines = {{"A", "1"}, {"B", "${A}"}};
    std::string out, problem;
    EXPECT_TRUE(SubstituteDefines("x${A}y${B}$z", defines, out, problem));
    EXPECT_EQ(out, "x1y${A}$z");  // values are not substituted again
    EXPECT_TRUE(SubstituteDefines("$${A}$$", defines, out, problem));
    EXPECT_EQ(out, "${A}$$");
    EXPECT_FALSE(SubstituteDefines("${A", defines, out, problem));
    EXPECT_NE(problem.find("unclosed"), std::string::npos);
    EXPECT_FALSE(SubstituteDefines("${}", defines, out, problem));
    EXPECT_NE(problem.find("give --define NAME=VALUE"), std::string::npos) << problem;
}

TEST_F(DescriptionReaderTest, PutConvertsToTheCodePageAndRefusesWhatDoesNotFit) {
    ASSERT_TRUE(Parse(""));
    RecordHead::TextField<4> field;
    const TLocation at{"d.toml", 7};
    reader->Put(field, "caf\xC3\xA9", at, "name");
    EXPECT_EQ(field.Text(), "caf\xE9");  // four bytes fill the field exactly
    reader->Put(field, "abcde", at, "name");
    reader->Put(field, "\xE4\xB8\xAD", at, "caption");
    reader->Put(field, "\xC3", at, "key");
    EXPECT_EQ(field.Text(), "caf\xE9");  // left as it was
    EXPECT_TRUE(Reports(out, true, 7, "name is 5 characters long; its field holds at most 4: \"abcde\"")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 7, "caption \"\xE4\xB8\xAD\" contains U+4E2D, which the package's code page "
                                      "(Windows-1252) does not have")) << ErrorsOf(out);
    EXPECT_TRUE(Reports(out, true, 7, "key is not valid UTF-8")) << ErrorsOf(out);

    RecordHead::TextField<64> wide;
    reader->Put(wide, std::string(70, 'x'), at, "author");
    EXPECT_TRUE(Reports(out, true, 7, "\"" + std::string(37, 'x') + "...\"")) << "long texts are cut: " << ErrorsOf(out);
}

}  // namespace
