// The components of a form: one class for every kind of the layout table.
// Each is a window of its own, child of its parent component or the form,
// which destroys it; the form window answers the components' requests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/ComponentRow.h"
#include "ui/Events.h"

class TComponent {
public:
    explicit TComponent(std::string_view name) : Name(name) {}
    const std::string Name;
};

class TControl : public TComponent {
public:
    // Creates the control's window under `parentWindow`, in `font`; a picture
    // shows `picture`. The form keeps both, and destroys the window with its own.
    TControl(const ui::TComponentRow& layoutRow, HWND parentWindow, int id, HFONT font, HBITMAP picture);
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // The control that owns a window of ours; null for other windows.
    static TControl* FromHandle(HWND window);

    HWND Handle() const { return window_; }
    int Id() const { return id_; }
    const ui::TComponentRow& LayoutRow() const { return layoutRow_; }
    ui::TKind Kind() const { return layoutRow_.Kind; }

    std::string GetText() const;
    // Sets the text; a self-sizing label takes the width of its one line.
    void SetText(const std::string& text);
    // Focuses the control, or, while its page is covered, once it is shown.
    void SetFocus();
    // True when the control is shown (its page in front) and enabled: only
    // then may it act.
    bool CanAct() const;

    // Panels: shows this one on top of its siblings and hides those.
    void BringToFront();
    // Memos: text as lines.
    void Clear() { SetText({}); }
    void AddLine(const std::string& line);
    // Progress bars: range 0 to `max`, and the position.
    void SetMax(int max);
    void SetPosition(int position);

    // The background colour of a panel (white or button face).
    COLORREF Color() const;
    HBRUSH Brush() const;

    TNotifyEvent OnClick;

private:
    LRESULT HandlePanel(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleGraphic(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintGraphic(HDC dc) const;
    void FitToText();
    HWND FormWindow() const { return ::GetAncestor(window_, GA_ROOT); }

    const ui::TComponentRow layoutRow_;
    const int id_;
    const HFONT font_;        // owned by the form
    const HBITMAP picture_;   // owned by the form
    HWND window_ = nullptr;   // destroyed with the form's window
};
