#include "uninstaller/ProgressWindow.h"

#include "ui/Application.h"

namespace {

using namespace ui;
using enum ui::TKind;

constexpr int kClientWidth = 400, kClientHeight = 92;

constexpr TComponentRow kLayout[] = {
    {"lblTitle", Label, "", 12, 10, 0, 0, "Removing the program's files and settings...", sBold},
    {"lblAction", Label, "", 12, 30, 376, 28, "", sWrap},
    {"pbProgress", ProgressBar, "", 12, 62, 376, 17, ""},
};

}  // namespace

namespace {
// The layout is built before the painter looks up its controls: the two
// lookups must not depend on the order in which arguments are evaluated.
TProgressPainter PainterOf(TForm& form) {
    form.Build(kLayout);
    return TProgressPainter(form.Find("lblAction"), form.Find("pbProgress"));
}
}  // namespace

TProgressWindow::TProgressWindow(const std::string& title, int steps)
    : form_("TfrmUninstall", kClientWidth, kClientHeight),
      painter_(PainterOf(form_)) {
    form_.SetCaption(title);
    form_.Find("pbProgress").SetMax(steps > 0 ? steps : 1);
    const HWND window = form_.Handle();
    RECT frame;
    ::GetWindowRect(window, &frame);
    ::SetWindowPos(window, HWND_TOP, (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2, 0, 0, SWP_NOSIZE);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
}

void TProgressWindow::Step(const std::string& what) {
    painter_.Report(what, ++position_);
    TApplication::Current()->ProcessMessagesAfterItem();
}

void TProgressWindow::PaintNow() {
    painter_.PaintNow();
    // Under Wine the drawn pixels reach the screen when the queue is looked into.
    TApplication::Current()->ProcessMessages();
}

TRemovalReport RemoveShowingProgress(TRemoval& removal, const TUninstallPlan& left, const std::string& title,
                                     bool uninstallerRuns) {
    TProgressWindow progress(title, TRemoval::StepCount(left) + 1);
    TRemovalReport report = removal.Run(left, [&](const std::string& what) { progress.Step(what); });
    progress.Step("Remove the uninstaller");
    progress.PaintNow();  // removing it may wait for its process to end
    removal.RemoveOwnFiles(report, uninstallerRuns);
    return report;
}
