// When a display that changes after every item is worth drawing: at most
// once per interval, whatever the number of changes in between. Portable, so
// the rule is tested without a window.
#pragma once

#include <cstdint>

namespace ui {

// Fast enough to look live, slow enough that drawing costs next to nothing
// beside the work it shows.
inline constexpr std::uint32_t kRedrawIntervalMs = 40;
// Where drawing itself is slow (a busy machine, an emulated one: under Wine
// on qemu one drawing of the label and the bar takes 10 to 20 ms), the pause
// after a drawing is this many times its own time, so drawing never takes
// more than a tenth of the run.
inline constexpr std::uint32_t kRedrawCostFactor = 9;

class TRedrawPacer {
public:
    explicit TRedrawPacer(std::uint32_t intervalMs = kRedrawIntervalMs) : interval_(intervalMs) {}

    // True when a change at `nowMs` (a millisecond tick count that may wrap
    // around) is to be drawn: the first change, and any change once the
    // pause after the last drawing has passed.
    bool Due(std::uint32_t nowMs) const {
        // Unsigned differences: right across the tick count's wrap-around.
        return !drawn_ || nowMs - lastEndMs_ >= pause_;
    }

    // Records a drawing that ran from `startMs` to `endMs`.
    void Drawn(std::uint32_t startMs, std::uint32_t endMs) {
        drawn_ = true;
        lastEndMs_ = endMs;
        const std::uint32_t cost = endMs - startMs;
        pause_ = cost > interval_ / kRedrawCostFactor ? cost * kRedrawCostFactor : interval_;
    }

private:
    std::uint32_t interval_;
    std::uint32_t pause_ = 0;
    std::uint32_t lastEndMs_ = 0;
    bool drawn_ = false;
};

}  // namespace ui
