// The small window that shows what the uninstaller is removing.
#pragma once

#include <string>

#include "ui/Form.h"
#include "ui/ProgressPainter.h"
#include "uninstaller/Removal.h"

class TProgressWindow {
public:
    TProgressWindow(const std::string& title, int steps);

    // Shows `what` and moves the bar one step on, then handles the pending
    // messages; the window draws at a bounded rate.
    void Step(const std::string& what);
    // Draws the last step now and has it shown: before a wait or the
    // window's end.
    void PaintNow();

private:
    TForm form_;
    TProgressPainter painter_;
    int position_ = 0;
};

// The uninstaller's removal as the user sees it: `left` (from WhatIsLeft)
// carried out with this window showing every step, then the uninstaller's
// own files (TRemoval::RemoveOwnFiles). The window is gone when it returns.
TRemovalReport RemoveShowingProgress(TRemoval& removal, const TUninstallPlan& left, const std::string& title,
                                     bool uninstallerRuns);
