#include "ui/Form.h"

#include <utility>

#include "system/Errors.h"
#include "ui/Application.h"
#include "ui/Win32Error.h"
#include "ui/WindowBinding.h"

using ui::TKind;

namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

UniqueGdiObject MakeFont(int points, int weight, bool underline) {
    HDC screen = ::GetDC(nullptr);
    const int height = -::MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    return UniqueGdiObject(::CreateFontA(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET,
                                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
}

// Restores the application's previous modal form when a modal run ends.
class ModalScope {
public:
    ModalScope(TApplication& application, TForm* form) : application_(application), previous_(application.ModalForm()) {
        application.SetModalForm(form);
    }
    ~ModalScope() { application_.SetModalForm(previous_); }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    TApplication& application_;
    TForm* previous_;
};

}  // namespace

TForm::TForm(std::string_view className, int clientWidth, int clientHeight)
    : TComponent(className),
      font_(MakeFont(8, FW_NORMAL, false)),
      boldFont_(MakeFont(8, FW_BOLD, false)),
      largeFont_(MakeFont(12, FW_BOLD, false)),
      linkFont_(MakeFont(8, FW_NORMAL, true)) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ui::WindowProcOf<TForm, &TForm::HandleMessage>;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconA(instance, "MAINICON");
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = Name.c_str();
    if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastWin32Error();

    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    window_.reset(::CreateWindowExA(0, Name.c_str(), "", kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                                    this));
    if (!window_) RaiseLastWin32Error();
}

// The window goes first, taking its children with it while their controls
// still exist to answer the messages of their destruction.
TForm::~TForm() { window_.reset(); }

void TForm::SetCaption(const std::string& caption) { ::SetWindowTextA(window_.get(), caption.c_str()); }

void TForm::Build(ui::TLayout layout) {
    for (std::size_t row = 0; row < layout.size(); ++row) {
        const ui::TComponentRow& layoutRow = layout[row];
        HWND parent = layoutRow.Parent.empty() ? window_.get() : Find(layoutRow.Parent).Handle();
        const HBITMAP picture = layoutRow.Kind == ui::TKind::Picture ? PictureFor(layoutRow.Text) : nullptr;
        controls_.push_back(std::make_unique<TControl>(layoutRow, parent, ui::kFirstControlId + int(row),
                                                       FontFor(layoutRow), picture));
    }
}

TControl& TForm::Find(std::string_view name) const {
    for (const auto& control : controls_)
        if (control->Name == name) return *control;
    Raise(Exception("EComponentError", "Component " + std::string(name) + " not found"));
}

HFONT TForm::FontFor(const ui::TComponentRow& layoutRow) const {
    const auto font = [](const UniqueGdiObject& f) { return static_cast<HFONT>(f.get()); };
    if (layoutRow.Style & ui::sLarge) return font(largeFont_);
    if (layoutRow.Style & ui::sBold) return font(boldFont_);
    if (layoutRow.Style & ui::sLink) return font(linkFont_);
    return font(font_);
}

void TForm::AddPicture(std::string_view name, UniqueGdiObject bitmap) {
    pictures_.emplace_back(std::string(name), std::move(bitmap));
}

HBITMAP TForm::PictureFor(std::string_view resourceName) {
    for (const auto& [name, bitmap] : pictures_)
        if (name == resourceName) return static_cast<HBITMAP>(bitmap.get());
    const std::string name(resourceName);
    // A section keeps the bitmap's own palette colours exactly.
    UniqueGdiObject bitmap(
        ::LoadImageA(::GetModuleHandleA(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) RaiseLastWin32Error();
    const auto handle = static_cast<HBITMAP>(bitmap.get());
    pictures_.emplace_back(name, std::move(bitmap));
    return handle;
}

void TForm::Command(HWND control, WPARAM wParam) {
    if (!control || !::IsChild(window_.get(), control) || HIWORD(wParam) != BN_CLICKED) return;
    TControl* sender = TControl::FromHandle(control);
    // Only a shown, enabled control of the page in front may act; clicks
    // that reach a covered one (by message or access key) are dropped.
    if (!sender || LOWORD(wParam) != sender->Id() || !sender->OnClick.Assigned() || !sender->CanAct()) return;
    SafeCall([sender] { sender->OnClick(sender); });
}

LRESULT TForm::DefaultId() const {
    // Enter clicks the focused push button, else the default button of the
    // front page; a covered default button does not count.
    HWND focus = ::GetFocus();
    const TControl* focused = focus && ::IsChild(window_.get(), focus) ? TControl::FromHandle(focus) : nullptr;
    if (focused && focused->Kind() == TKind::Button && focused->CanAct()) return MAKELRESULT(focused->Id(), DC_HASDEFID);
    for (const auto& control : controls_)
        if (control->Kind() == TKind::Button && (control->LayoutRow().Style & ui::sDefault) && control->CanAct())
            return MAKELRESULT(control->Id(), DC_HASDEFID);
    return 0;
}

void TForm::NextControl(WPARAM wParam, LPARAM lParam) {
    HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : ::GetNextDlgTabItem(window_.get(), ::GetFocus(), wParam != 0);
    if (!target) return;
    ::SetFocus(target);
    if (::SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) ::SendMessageA(target, EM_SETSEL, 0, -1);
}

void TForm::FocusControl(HWND control) {
    if (::GetActiveWindow() == window_.get())
        ::SetFocus(control);
    else
        savedFocus_ = control;
}

void TForm::FixFocus() {
    if (pendingFocus_ && ::IsWindowVisible(pendingFocus_)) {
        FocusControl(std::exchange(pendingFocus_, nullptr));
        return;
    }
    HWND focus = ::GetActiveWindow() == window_.get() ? ::GetFocus() : savedFocus_;
    if (focus && ::IsChild(window_.get(), focus) && ::IsWindowVisible(focus)) return;
    if (::GetActiveWindow() == window_.get())
        FocusFirst();
    else
        savedFocus_ = nullptr;
}

void TForm::FocusFirst() {
    if (HWND first = ::GetNextDlgTabItem(window_.get(), nullptr, FALSE)) ::SetFocus(first);
}

int TForm::ShowModal() {
    TApplication& application = *TApplication::Current();
    modalResult_ = mrNone;
    RECT frame;
    ::GetWindowRect(window_.get(), &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    ::SetWindowPos(window_.get(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    ModalScope scope(application, this);
    modal_ = true;
    ::ShowWindow(window_.get(), SW_SHOWNORMAL);
    ::SetForegroundWindow(window_.get());
    for (;;) {
        application.HandleMessage();
        if (application.Terminated()) {
            modalResult_ = mrCancel;  // the application is being ended: no close query
            break;
        }
        if (modalResult_ != mrNone && CloseQuery()) break;
    }
    modal_ = false;
    ::ShowWindow(window_.get(), SW_HIDE);
    return modalResult_;
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery.Assigned()) SafeCall([&] { OnCloseQuery(this, canClose); });
    if (!canClose) modalResult_ = mrNone;
    return canClose;
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus && ::IsChild(window, focus)) savedFocus_ = focus;
            return 0;
        }
        [[fallthrough]];
    case WM_SETFOCUS:
        // Back to the control that had the focus, or the first in tab order.
        if (savedFocus_ && ::IsWindow(savedFocus_) && ::IsChild(window, savedFocus_) && ::IsWindowVisible(savedFocus_))
            ::SetFocus(savedFocus_);
        else
            FocusFirst();
        return 0;
    case WM_CLOSE:
        // Close box, Alt+F4, system menu: like Cancel while modal.
        if (modal_) modalResult_ = mrCancel;
        return 0;
    case WM_COMMAND:
        Command(reinterpret_cast<HWND>(lParam), wParam);
        return 0;
    case WM_NEXTDLGCTL:
        NextControl(wParam, lParam);
        return 0;
    case DM_GETDEFID:
        return DefaultId();
    case ui::kFocusControl: {
        const HWND control = reinterpret_cast<HWND>(wParam);
        if (!::IsChild(window, control)) return 0;
        if (::IsWindowVisible(control))
            FocusControl(control);
        else
            pendingFocus_ = control;
        return 0;
    }
    case ui::kFixFocus:
        FixFocus();
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
