// The components of a form: one class for every kind of the layout table.
// Each is a window of its own, child of its parent component or the form.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "system/Handles.h"
#include "ui/ComponentRow.h"
#include "ui/Events.h"

class TForm;

class TComponent {
public:
    explicit TComponent(std::string_view name) : Name(name) {}
    const std::string Name;
};

class TControl : public TComponent {
public:
    // Creates the control's window under `parentWindow`.
    TControl(TForm& form, const ui::TComponentRow& layoutRow, HWND parentWindow, int id);
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    // The control that owns a window of ours; null for other windows.
    static TControl* FromHandle(HWND window);

    HWND Handle() const { return window_.get(); }
    int Id() const { return id_; }
    const ui::TComponentRow& LayoutRow() const { return layoutRow_; }
    ui::TKind Kind() const { return layoutRow_.Kind; }
    TForm& Form() const { return form_; }

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
    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GraphicProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandlePanel(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintGraphic(HDC dc) const;
    void FitToText();

    TForm& form_;
    const ui::TComponentRow layoutRow_;
    const int id_;
    UniqueWindow window_;
    HBITMAP picture_ = nullptr;  // owned by the form
    friend class TForm;
};
