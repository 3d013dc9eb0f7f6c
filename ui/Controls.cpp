#include "ui/Controls.h"

#include <commctrl.h>

#include "ui/Form.h"
#include "ui/Win32Error.h"
#include "ui/WindowBinding.h"

using ui::TKind;

namespace {

constexpr char kPanelClass[] = "TPanel";
constexpr char kGraphicClass[] = "TGraphic";  // pictures and bevels
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A window's device context for drawing outside of painting.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDC() { ::ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context with one bitmap selected into it.
class BitmapDC {
public:
    BitmapDC(HDC like, HBITMAP bitmap) : dc_(::CreateCompatibleDC(like)), previous_(::SelectObject(dc_, bitmap)) {}
    ~BitmapDC() {
        ::SelectObject(dc_, previous_);
        ::DeleteDC(dc_);
    }
    BitmapDC(const BitmapDC&) = delete;
    BitmapDC& operator=(const BitmapDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

void RegisterOnce(const char* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastWin32Error();
}

struct WindowShape {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

WindowShape ShapeOf(const ui::TComponentRow& layoutRow) {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    switch (layoutRow.Kind) {
    case TKind::Panel:
        // Pages start covered; FormCreate brings the first to the front.
        return {kPanelClass, (layoutRow.Parent.empty() ? WS_CHILD : child) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                WS_EX_CONTROLPARENT};
    case TKind::Label:
        return {"STATIC",
                child | SS_NOPREFIX | ((layoutRow.Style & ui::sWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP) |
                    ((layoutRow.Style & ui::sLink) ? SS_NOTIFY : 0),
                0};
    case TKind::Edit:
        return {"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case TKind::Memo:
        return {"EDIT", child | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, WS_EX_CLIENTEDGE};
    case TKind::Button:
        return {"BUTTON", child | WS_TABSTOP | ((layoutRow.Style & ui::sDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0};
    case TKind::ProgressBar:
        return {PROGRESS_CLASSA, child | PBS_SMOOTH, 0};
    case TKind::Picture:
    case TKind::Bevel:
        return {kGraphicClass, child, 0};
    }
    return {kGraphicClass, child, 0};
}

}  // namespace

TControl::TControl(const ui::TComponentRow& layoutRow, HWND parentWindow, int id, HFONT font, HBITMAP picture)
    : TComponent(layoutRow.Name), layoutRow_(layoutRow), id_(id), font_(font), picture_(picture) {
    RegisterOnce(kPanelClass, &ui::WindowProcOf<TControl, &TControl::HandlePanel>, nullptr);
    RegisterOnce(kGraphicClass, &ui::WindowProcOf<TControl, &TControl::HandleGraphic>, nullptr);
    const WindowShape shape = ShapeOf(layoutRow);
    const std::string text = layoutRow.Kind == TKind::Picture ? std::string() : std::string(layoutRow.Text);
    window_ = ::CreateWindowExA(shape.exStyle, shape.className, text.c_str(), shape.style, layoutRow.Left, layoutRow.Top,
                                layoutRow.Width, layoutRow.Height, parentWindow,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), this);
    if (!window_) RaiseLastWin32Error();
    // Windows of the system's classes know their control through the user data too.
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (layoutRow.AutoSize()) FitToText();
}

TControl* TControl::FromHandle(HWND window) {
    return window ? reinterpret_cast<TControl*>(::GetWindowLongPtrA(window, GWLP_USERDATA)) : nullptr;
}

std::string TControl::GetText() const {
    const int length = ::GetWindowTextLengthA(window_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void TControl::SetText(const std::string& text) {
    ::SetWindowTextA(window_, text.c_str());
    if (layoutRow_.AutoSize()) FitToText();
}

void TControl::FitToText() {
    const std::string text = GetText();
    WindowDC dc(window_);
    const HGDIOBJ previous = ::SelectObject(dc.get(), font_);
    RECT bounds{};
    // An empty label keeps the height of one line.
    ::DrawTextA(dc.get(), text.empty() ? " " : text.c_str(), -1, &bounds, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc.get(), previous);
    ::SetWindowPos(window_, nullptr, 0, 0, text.empty() ? 0 : bounds.right, bounds.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetFocus() { ::SendMessageA(FormWindow(), ui::kFocusControl, reinterpret_cast<WPARAM>(window_), 0); }

bool TControl::CanAct() const {
    return ::IsWindowVisible(window_) && ::IsWindowEnabled(window_) && ::IsWindowEnabled(FormWindow());
}

void TControl::BringToFront() {
    HWND self = window_;
    ::SetWindowPos(self, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    // Covered panels are hidden, so none of their controls can act.
    RECT own;
    ::GetWindowRect(self, &own);
    for (HWND sibling = ::GetWindow(::GetParent(self), GW_CHILD); sibling; sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
        const TControl* other = FromHandle(sibling);
        RECT theirs, overlap;
        if (sibling == self || !other || other->Kind() != TKind::Panel) continue;
        ::GetWindowRect(sibling, &theirs);
        if (::IntersectRect(&overlap, &own, &theirs)) ::ShowWindow(sibling, SW_HIDE);
    }
    ::SendMessageA(FormWindow(), ui::kFixFocus, 0, 0);
}

void TControl::AddLine(const std::string& line) {
    std::string text = GetText();
    if (!text.empty()) text += "\r\n";
    SetText(text + line);
}

void TControl::SetMax(int max) { ::SendMessageA(window_, PBM_SETRANGE32, 0, max); }

void TControl::SetPosition(int position) { ::SendMessageA(window_, PBM_SETPOS, static_cast<WPARAM>(position), 0); }

COLORREF TControl::Color() const {
    if (layoutRow_.Kind == TKind::Panel && (layoutRow_.Style & ui::sWhite)) return RGB(255, 255, 255);
    return ::GetSysColor(COLOR_BTNFACE);
}

HBRUSH TControl::Brush() const {
    if (layoutRow_.Kind == TKind::Panel && (layoutRow_.Style & ui::sWhite)) return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

LRESULT TControl::HandlePanel(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, Brush());
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        const TControl* label = FromHandle(reinterpret_cast<HWND>(lParam));
        const bool blue = label && (label->layoutRow_.Style & (ui::sBlue | ui::sLink));
        auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, blue ? kBlue : ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, Color());
        return reinterpret_cast<LRESULT>(Brush());
    }
    case WM_CTLCOLOREDIT: {
        const TControl* edit = FromHandle(reinterpret_cast<HWND>(lParam));
        if (!edit || edit->Kind() != TKind::Memo) break;
        auto dc = reinterpret_cast<HDC>(wParam);  // the memo shows the button face
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(Brush());
    case WM_SETCURSOR: {
        const TControl* child = FromHandle(reinterpret_cast<HWND>(wParam));
        if (!child || !(child->layoutRow_.Style & ui::sLink) || LOWORD(lParam) != HTCLIENT) break;
        ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
        return TRUE;
    }
    // Notifications and dialog requests of the controls go to the form.
    case WM_COMMAND:
    case WM_NEXTDLGCTL:
    case DM_GETDEFID:
        return ::SendMessageA(FormWindow(), message, wParam, lParam);
    case WM_CLOSE:
        return 0;  // a memo asks its parent to close on Escape: Escape does nothing
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT TControl::HandleGraphic(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // painting covers everything
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window_, &paint);
        PaintGraphic(dc);
        ::EndPaint(window_, &paint);
        return 0;
    }
    }
    return ::DefWindowProcA(window_, message, wParam, lParam);
}

void TControl::PaintGraphic(HDC dc) const {
    RECT client;
    ::GetClientRect(window_, &client);
    const TControl* parent = FromHandle(::GetParent(window_));
    ::FillRect(dc, &client, parent ? parent->Brush() : ::GetSysColorBrush(COLOR_BTNFACE));
    if (layoutRow_.Kind == TKind::Bevel) {
        // Lowered: a dark row above a light one.
        RECT dark{0, 0, client.right, 1}, light{0, 1, client.right, 2};
        ::FillRect(dc, &dark, ::GetSysColorBrush(COLOR_BTNSHADOW));
        ::FillRect(dc, &light, ::GetSysColorBrush(COLOR_BTNHIGHLIGHT));
        return;
    }
    if (!picture_) return;
    // Unscaled from the top-left corner; the window clips what does not fit.
    BITMAP info{};
    ::GetObjectA(picture_, sizeof info, &info);
    BitmapDC source(dc, picture_);
    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
}
