// The rule of when a live progress display draws: the first change at once,
// then at most once per interval after the last drawing ended, longer where
// drawing is slow, across the tick count's wrap-around.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/RedrawPacer.h"

using ui::TRedrawPacer;

namespace {

// Feeds changes at the given times; draws (taking `cost` ms) when due and
// returns the number of drawings.
int Drawings(TRedrawPacer& pacer, std::uint32_t from, std::uint32_t to, std::uint32_t step, std::uint32_t cost) {
    int drawn = 0;
    for (std::uint32_t now = from; now < to;) {
        if (pacer.Due(now)) {
            pacer.Drawn(now, now + cost);
            now += cost;
            ++drawn;
        }
        now += step;
    }
    return drawn;
}

}  // namespace

TEST(RedrawPacer, DrawsTheFirstChangeThenOncePerIntervalAfterTheLastDrawing) {
    TRedrawPacer pacer(40);
    EXPECT_TRUE(pacer.Due(1000));
    pacer.Drawn(1000, 1002);
    EXPECT_FALSE(pacer.Due(1002));
    EXPECT_FALSE(pacer.Due(1041));  // counted from the drawing's end
    EXPECT_TRUE(pacer.Due(1042));
    EXPECT_TRUE(pacer.Due(1500));   // still due until drawn
    pacer.Drawn(1500, 1500);
    EXPECT_FALSE(pacer.Due(1539));
    EXPECT_TRUE(pacer.Due(1540));
}

TEST(RedrawPacer, ManyChangesInOneIntervalDrawOnce) {
    TRedrawPacer pacer(40);
    // A change every 0.02 ms of a 200 ms run (steps of 1 ms carry 50 each):
    // drawn at 0, 40, 80, 120, 160.
    int drawn = 0;
    for (int i = 0; i < 10000; ++i) {
        const auto now = static_cast<std::uint32_t>(5000 + i / 50);
        if (pacer.Due(now)) {
            pacer.Drawn(now, now);
            ++drawn;
        }
    }
    EXPECT_EQ(drawn, 5);
}

TEST(RedrawPacer, SlowDrawingTakesAtMostATenthOfTheRun) {
    // Cheap drawings keep the interval; slow ones wait nine times their cost.
    TRedrawPacer cheap(40);
    EXPECT_EQ(Drawings(cheap, 0, 1000, 1, 4), 23);  // every 4 + 40 ms
    TRedrawPacer slow(40);
    const int drawn = Drawings(slow, 0, 10000, 1, 20);  // every 20 + 180 ms
    EXPECT_EQ(drawn, 50);
    EXPECT_LE(drawn * 20, 10000 / 10);
    // Just above the interval's share, the pause grows with the cost.
    TRedrawPacer edge(40);
    EXPECT_EQ(Drawings(edge, 0, 10000, 1, 5), 200);  // every 5 + 45 ms
    // Once drawing is quick again, the interval is back.
    slow.Drawn(20000, 20001);
    EXPECT_FALSE(slow.Due(20040));
    EXPECT_TRUE(slow.Due(20041));
}

TEST(RedrawPacer, KeepsTimeAcrossTheTickCountsWrapAround) {
    TRedrawPacer pacer(40);
    ASSERT_TRUE(pacer.Due(0xFFFFFFF0u));
    pacer.Drawn(0xFFFFFFF0u, 0xFFFFFFF4u);
    EXPECT_FALSE(pacer.Due(0x00000010u));  // 28 ms after the end
    EXPECT_TRUE(pacer.Due(0x0000001Cu));   // 40 ms after
}

TEST(RedrawPacer, TheDefaultIntervalIsWithinTheLiveRange) {
    // Drawn often enough to look live, rarely enough to cost nothing.
    EXPECT_GE(ui::kRedrawIntervalMs, 30u);
    EXPECT_LE(ui::kRedrawIntervalMs, 50u);
    TRedrawPacer pacer;
    pacer.Drawn(7, 7);
    EXPECT_FALSE(pacer.Due(7 + ui::kRedrawIntervalMs - 1));
    EXPECT_TRUE(pacer.Due(7 + ui::kRedrawIntervalMs));
}
