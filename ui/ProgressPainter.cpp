#include "ui/ProgressPainter.h"

#include <windows.h>

void TProgressPainter::Report(const std::string& text, int position) {
    text_ = text;
    position_ = position;
    undrawn_ = true;
    if (pacer_.Due(::GetTickCount())) Paint();
}

void TProgressPainter::PaintNow() {
    if (undrawn_) Paint();
}

void TProgressPainter::Paint() {
    const DWORD start = ::GetTickCount();
    label_.SetText(text_);
    bar_.SetPosition(position_);
    // What they invalidated, the parent's strip a shorter label uncovered
    // included, is drawn now rather than when messages are next handled.
    ::RedrawWindow(::GetParent(label_.Handle()), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::RedrawWindow(bar_.Handle(), nullptr, nullptr, RDW_UPDATENOW);
    undrawn_ = false;
    pacer_.Drawn(start, ::GetTickCount());
}
