// The current-item label and progress bar of a long run (the wizard's
// installing page, the uninstaller's window). Setting a label's text or a
// bar's position draws it at once, and under Wine that costs more than
// copying a small file; so every report is kept, and the label's text and
// the bar's position are set (and drawn) at a bounded rate, and once more
// when the run ends. Whoever reads the controls meanwhile sees values at
// most one pause old; after PaintNow, the last report exactly.
#pragma once

#include <string>

#include "ui/Controls.h"
#include "ui/RedrawPacer.h"

class TProgressPainter {
public:
    TProgressPainter(TControl& label, TControl& bar) : label_(label), bar_(bar) {}
    TProgressPainter(const TProgressPainter&) = delete;
    TProgressPainter& operator=(const TProgressPainter&) = delete;

    // Keeps the item's text and position; sets the label's text, then the
    // bar's position, and draws both when the pause after the last drawing
    // has passed.
    void Report(const std::string& text, int position);

    // Sets and draws the last report now, if it is not shown yet: before
    // the run's end is shown or an error box covers the window.
    void PaintNow();

    // Paints the last report when a run ends, however it ends.
    class TFinalPaint {
    public:
        explicit TFinalPaint(TProgressPainter& painter) : painter_(painter) {}
        ~TFinalPaint() { painter_.PaintNow(); }
        TFinalPaint(const TFinalPaint&) = delete;
        TFinalPaint& operator=(const TFinalPaint&) = delete;

    private:
        TProgressPainter& painter_;
    };

private:
    void Paint();

    TControl& label_;
    TControl& bar_;
    ui::TRedrawPacer pacer_;
    std::string text_;
    int position_ = 0;
    bool undrawn_ = false;  // a report is not shown yet
};
