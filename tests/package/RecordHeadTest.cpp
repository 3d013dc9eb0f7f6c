#include "package/RecordHead.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace RecordHead;

namespace {
template <typename T>
const std::uint8_t* RawBytes(const T& record) {
    return reinterpret_cast<const std::uint8_t*>(&record);
}
}  // namespace

TEST(TextRule, ReadsUpToTheFirstNul) {
    TextField<8> field;
    std::memcpy(field.bytes.data(), "ab\0cdefg", 8);
    EXPECT_EQ(field.Text(), "ab");
}

TEST(TextRule, AFullFieldWithoutNulIsTheWholeValue) {
    TextField<256> field;
    field.bytes.fill('x');
    EXPECT_EQ(field.Text(), std::string(256, 'x'));
}

TEST(TextRule, ShorterValueIsNulTerminatedAndTheRestIsZero) {
    TextField<8> field;
    field.bytes.fill('z');
    ASSERT_TRUE(field.TrySet("abc"));
    EXPECT_EQ(std::memcmp(field.bytes.data(), "abc\0\0\0\0\0", 8), 0);
}

TEST(TextRule, ValueOfExactlyTheFieldWidthIsStoredWithoutNul) {
    TextField<4> field;
    ASSERT_TRUE(field.TrySet("abcd"));
    EXPECT_EQ(std::memcmp(field.bytes.data(), "abcd", 4), 0);
    EXPECT_EQ(field.Text(), "abcd");
}

TEST(TextRule, LongerValueIsRefusedNamingTheFieldAndNothingIsCut) {
    TextField<4> field;
    ASSERT_TRUE(field.TrySet("keep"));
    EXPECT_FALSE(field.TrySet("abcde"));
    EXPECT_EQ(field.Text(), "keep");
    try {
        SetText(field, "abcde", "Caption");
        FAIL() << "no error";
    } catch (const ELengthError& e) {
        EXPECT_STREQ(e.TypeName(), "EFieldTooLong");
        EXPECT_EQ(e.Message(), "Caption: 5 characters do not fit its 4-character field");
    }
}

TEST(RecordLayout, IntegersAreLittleEndianAtTheirOffsets) {
    TPackHeader header{};
    header.FileCount.Set(0x01020304);
    header.DirOffset.Set(0xA1B2C3D4u);
    header.RegCount.Set(-2);
    const auto* raw = RawBytes(header);
    EXPECT_EQ(raw[528], 0x04);
    EXPECT_EQ(raw[531], 0x01);
    EXPECT_EQ(raw[548], 0xD4);
    EXPECT_EQ(raw[551], 0xA1);
    EXPECT_EQ(raw[520], 0xFE);
    EXPECT_EQ(raw[523], 0xFF);
    EXPECT_EQ(header.RegCount.Get(), -2);
}

TEST(RecordLayout, ShellItemKindIsTheFirstByteAndCaptionFollowsAt769) {
    TShellItem item{};
    item.Kind = skWallpaper;
    ASSERT_TRUE(item.Caption.TrySet("Demo"));
    ASSERT_TRUE(item.FileName.TrySet("x"));
    const auto* raw = RawBytes(item);
    EXPECT_EQ(raw[0], 4);
    EXPECT_EQ(raw[513], 'x');
    EXPECT_EQ(std::memcmp(raw + 769, "Demo", 5), 0);
}

TEST(RecordLayout, RegistryItemFieldsSitWhereTheReaderLooks) {
    TRegItem item{};
    item.RootKey.Set(0x80000002u);
    ASSERT_TRUE(item.ValueName.TrySet("Path"));
    ASSERT_TRUE(item.ValueData.TrySet("{InstallDir}"));
    const auto* raw = RawBytes(item);
    EXPECT_EQ(raw[3], 0x80);
    EXPECT_EQ(raw[0], 0x02);
    EXPECT_EQ(std::memcmp(raw + 516, "Path", 5), 0);
    EXPECT_EQ(std::memcmp(raw + 644, "{InstallDir}", 13), 0);
}

TEST(HeaderMagic, OnlyQzxFollowedByNulIsValid) {
    TPackHeader header{};
    std::memcpy(header.Magic.bytes.data(), "qzx\0", 4);
    EXPECT_TRUE(IsValidHeader(header));
    std::memcpy(header.Magic.bytes.data(), "qzxA", 4);
    EXPECT_FALSE(IsValidHeader(header));
    std::memcpy(header.Magic.bytes.data(), "QZX\0", 4);
    EXPECT_FALSE(IsValidHeader(header));
    std::memcpy(header.Magic.bytes.data(), "qz\0\0", 4);
    EXPECT_FALSE(IsValidHeader(header));
}
