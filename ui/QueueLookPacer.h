// When the message pump after an item of a long run must look into the
// queue in full: whenever the window system says something is queued, and in
// any case once per interval. Portable, so the rule is tested without a
// window.
#pragma once

#include <cstdint>

namespace ui {

// Under Wine the X server's input and the drawn windows' pixels are taken up
// when a thread looks for messages, not when it only asks whether any are
// queued; this bounds how long either waits.
inline constexpr std::uint32_t kFullLookIntervalMs = 40;

class TQueueLookPacer {
public:
    explicit TQueueLookPacer(std::uint32_t intervalMs = kFullLookIntervalMs) : interval_(intervalMs) {}

    // True when the queue is to be looked into at `nowMs` (a millisecond tick
    // count that may wrap around): something is queued, no look has been
    // made yet, or the interval since the last one has passed.
    bool Due(bool queued, std::uint32_t nowMs) const {
        return queued || !looked_ || nowMs - lastMs_ >= interval_;
    }

    // Records a full look at `nowMs`.
    void Looked(std::uint32_t nowMs) {
        looked_ = true;
        lastMs_ = nowMs;
    }

private:
    std::uint32_t interval_;
    std::uint32_t lastMs_ = 0;
    bool looked_ = false;
};

}  // namespace ui
