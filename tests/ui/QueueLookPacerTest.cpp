// The rule of when the pump after an item looks into the queue in full:
// whenever something is queued, else once per interval, across the tick
// count's wrap-around.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/QueueLookPacer.h"

using ui::TQueueLookPacer;

TEST(QueueLookPacer, LooksWheneverSomethingIsQueued) {
    TQueueLookPacer pacer(40);
    pacer.Looked(1000);
    // However short the time since the last look.
    for (std::uint32_t now = 1000; now < 1040; ++now) EXPECT_TRUE(pacer.Due(true, now));
}

TEST(QueueLookPacer, AnEmptyQueueIsLookedIntoOncePerInterval) {
    TQueueLookPacer pacer(40);
    EXPECT_TRUE(pacer.Due(false, 500));  // the first item looks
    pacer.Looked(500);
    EXPECT_FALSE(pacer.Due(false, 500));
    EXPECT_FALSE(pacer.Due(false, 539));
    EXPECT_TRUE(pacer.Due(false, 540));
    // A look made for a queued message counts as the interval's look.
    pacer.Looked(560);
    EXPECT_FALSE(pacer.Due(false, 599));
    EXPECT_TRUE(pacer.Due(false, 600));
}

TEST(QueueLookPacer, ManyEmptyItemsLookAtTheIntervalsRate) {
    TQueueLookPacer pacer(40);
    // An item every 0.1 ms for one second: 25 looks, not 10,000.
    int looks = 0;
    for (int i = 0; i < 10000; ++i) {
        const auto now = static_cast<std::uint32_t>(i / 10);
        if (pacer.Due(false, now)) {
            pacer.Looked(now);
            ++looks;
        }
    }
    EXPECT_EQ(looks, 25);
}

TEST(QueueLookPacer, KeepsTimeAcrossTheTickCountsWrapAround) {
    TQueueLookPacer pacer(40);
    pacer.Looked(0xFFFFFFF0u);
    EXPECT_FALSE(pacer.Due(false, 0x00000017u));  // 39 ms later
    EXPECT_TRUE(pacer.Due(false, 0x00000018u));   // 40 ms later
}

TEST(QueueLookPacer, TheDefaultIntervalKeepsInputPrompt) {
    // Input the window system has not queued yet waits at most this long.
    EXPECT_GE(ui::kFullLookIntervalMs, 10u);
    EXPECT_LE(ui::kFullLookIntervalMs, 50u);
}
