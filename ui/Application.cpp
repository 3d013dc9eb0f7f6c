#include "ui/Application.h"

#include <commctrl.h>

#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Form.h"
#include "ui/Win32Error.h"

TApplication* TApplication::current_ = nullptr;

namespace {
constexpr char kWindowClass[] = "TApplication";
}

TApplication::TApplication() : instance_(::GetModuleHandleA(nullptr)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = ::LoadIconA(instance_, "MAINICON");
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastWin32Error();

    // Never shown: it owns the event error box and the folder picker.
    window_.reset(::CreateWindowExA(0, kWindowClass, GetApplicationTitle().c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, instance_, nullptr));
    if (!window_) RaiseLastWin32Error();
    SetApplicationWindow(window_.get());
    current_ = this;
}

TApplication::~TApplication() {
    current_ = nullptr;
    SetApplicationWindow(nullptr);
}

bool TApplication::Dispatch(MSG& message) {
    if (message.message == WM_QUIT) {
        terminated_ = true;
        return false;
    }
    // The modal form's keyboard interface: tab order, access keys, Enter.
    if (modalForm_ && ::IsDialogMessageA(modalForm_->Handle(), &message)) return true;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
    return true;
}

void TApplication::HandleMessage() {
    MSG message;
    const BOOL result = ::GetMessageA(&message, nullptr, 0, 0);
    if (result == -1) {
        terminated_ = true;  // the queue is unusable: nothing more can run
        return;
    }
    Dispatch(message);
}

void TApplication::ProcessMessages() {
    queueLook_.Looked(::GetTickCount());
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) Dispatch(message);
}

void TApplication::ProcessMessagesAfterItem() {
    // Under Wine an empty PeekMessage is several server round trips and a
    // look at the X connection; asking whether anything is queued is one.
    // The high word holds what is in the queue now, sent messages included.
    const bool queued = HIWORD(::GetQueueStatus(QS_ALLINPUT)) != 0;
    if (queueLook_.Due(queued, ::GetTickCount())) ProcessMessages();
}

void TApplication::ShowException() const {
    const std::string message = DescribeCurrentError().Message;
    ::MessageBoxA(window_.get(), ErrorText::EventBox(message).c_str(), GetApplicationTitle().c_str(),
                  MB_ICONSTOP | MB_OK);
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The session ends: the modal loop ends without a close query.
    if (message == WM_ENDSESSION && wParam && current_) current_->Terminate();
    return ::DefWindowProcA(window, message, wParam, lParam);
}
