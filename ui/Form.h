// A top-level window built from a layout table and run as a modal dialog
// with a modal result and a close query.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "system/Handles.h"
#include "ui/ComponentRow.h"
#include "ui/Controls.h"
#include "ui/Events.h"

// Requests a component sends its form window.
namespace ui {
// wParam: a control's window. Focuses it now when its page is in front and
// the form active, else once that is so.
inline constexpr UINT kFocusControl = WM_APP + 0x100;
// After a page change: the control asked for, or the first of the front page
// when the focus was left on a covered one.
inline constexpr UINT kFixFocus = WM_APP + 0x101;
}  // namespace ui

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

class TForm : public TComponent {
public:
    // An unowned window of the class `className` with a fixed single border,
    // the system menu and the close box, and the given client area.
    TForm(std::string_view className, int clientWidth, int clientHeight);
    ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    HWND Handle() const { return window_.get(); }
    void SetCaption(const std::string& caption);

    // Gives the pictures of the layout that are not bitmap resources; call
    // before Build. The form keeps the bitmap.
    void AddPicture(std::string_view name, UniqueGdiObject bitmap);
    // Creates every component of the table, in its order.
    void Build(ui::TLayout layout);
    // The component of that name; raises EComponentError when there is none.
    TControl& Find(std::string_view name) const;

    // Shows the window centred on the screen and runs it until the modal
    // result sticks; hides it again and returns the result.
    int ShowModal();
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    TNotifyEvent OnCreate;
    TCloseQueryEvent OnCloseQuery;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HFONT FontFor(const ui::TComponentRow& layoutRow) const;
    HBITMAP PictureFor(std::string_view resourceName);
    void Command(HWND control, WPARAM wParam);
    LRESULT DefaultId() const;
    void NextControl(WPARAM wParam, LPARAM lParam);
    // Focuses now when the form is active, else when it is next activated.
    void FocusControl(HWND control);
    void FixFocus();
    bool CloseQuery();
    void FocusFirst();

    UniqueWindow window_;
    UniqueGdiObject font_, boldFont_, largeFont_, linkFont_;
    std::vector<std::unique_ptr<TControl>> controls_;
    std::vector<std::pair<std::string, UniqueGdiObject>> pictures_;
    HWND pendingFocus_ = nullptr;
    HWND savedFocus_ = nullptr;
    int modalResult_ = mrNone;
    bool modal_ = false;
};
