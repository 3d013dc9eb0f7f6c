#include "system/LittleEndian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

using namespace LittleEndian;

TEST(LittleEndianTest, LowByteComesFirstWhateverTheHost) {
    const std::vector<std::uint8_t> b = {0x78, 0x56, 0x34, 0x12, 0xFF, 0x80};
    EXPECT_EQ(Load16(b.data()), 0x5678);
    EXPECT_EQ(Load32(b.data()), 0x12345678u);
    // The top bits survive: no sign extension from the high byte.
    EXPECT_EQ(Load16(b, 4), 0x80FF);
    EXPECT_EQ(Load32(b, 2), 0x80FF1234u);
}

TEST(LittleEndianTest, StoreWritesOnlyItsOwnBytes) {
    std::vector<std::uint8_t> b(8, 0xAA);
    Store32(b, 2, 0xDEADBEEF);
    Store16(b, 6, 0x0102);
    EXPECT_EQ(b, (std::vector<std::uint8_t>{0xAA, 0xAA, 0xEF, 0xBE, 0xAD, 0xDE, 0x02, 0x01}));
    EXPECT_EQ(Load32(b, 2), 0xDEADBEEFu);
}

TEST(LittleEndianTest, AppendGrowsTheVectorInStoredOrder) {
    std::vector<std::uint8_t> out = {9};
    Append16(out, 0xBEEF);
    Append32(out, 0x01020304);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{9, 0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01}));
}

TEST(LittleEndianTest, AFieldPastTheBufferEndRaisesAndWritesNothing) {
    std::vector<std::uint8_t> b(6, 0xAA);
    EXPECT_THROW(Load32(b, 3), ERangeError);
    EXPECT_THROW(Load16(b, 5), ERangeError);
    EXPECT_THROW(Store32(b, 4, 0), ERangeError);
    EXPECT_THROW(Store16(b, SIZE_MAX, 0), ERangeError);  // no wrap-around of at + width
    EXPECT_EQ(b, std::vector<std::uint8_t>(6, 0xAA));
    EXPECT_EQ(Load16(b, 4), 0xAAAA);  // the last whole field still reads
}
