// The small window that shows what the uninstaller is removing.
#pragma once

#include <string>

#include "ui/Form.h"
#include "ui/ProgressPainter.h"

class TProgressWindow {
public:
    TProgressWindow(const std::string& title, int steps);

    // Shows `what` and moves the bar one step on, then handles the pending
    // messages; the window draws at a bounded rate.
    void Step(const std::string& what);
    // Draws the last step now: before a wait or the window's end.
    void PaintNow() { painter_.PaintNow(); }

private:
    TForm form_;
    TProgressPainter painter_;
    int position_ = 0;
};
