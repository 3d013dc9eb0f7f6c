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
    TApplication::Current()->ProcessMessages();
}
