// The user-interface framework's application object: COM for the thread,
// the common controls, the hidden application window (owner of the event
// error box and of the folder picker) and the message pump.
#pragma once

#include <windows.h>

#include <exception>
#include <string_view>

#include "system/ComPtr.h"
#include "system/Handles.h"
#include "ui/QueueLookPacer.h"

class TForm;

class TApplication {
public:
    // Registers the hidden window with SetApplicationWindow. One per process.
    TApplication();
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The live application object; null before it is created.
    static TApplication* Current() { return current_; }

    HWND Handle() const { return window_.get(); }

    // Waits for one message and handles it; a quit message marks the
    // application as being ended instead.
    void HandleMessage();
    // Handles every pending message without waiting.
    void ProcessMessages();
    // The same after an item of a long run, at a fraction of the cost when
    // nothing is queued: asks the queue first and looks into it only when
    // something is there, or once per kFullLookIntervalMs in any case.
    void ProcessMessagesAfterItem();
    // Asks the application to end: the modal loop then ends with result 2.
    void Terminate() { ::PostQuitMessage(0); }
    bool Terminated() const { return terminated_; }

    // The form whose keyboard interface (tab, access keys, Enter) applies.
    TForm* ModalForm() const { return modalForm_; }
    void SetModalForm(TForm* form) { modalForm_ = form; }

    // The event error box for the error being handled, one that escaped an
    // event handler.
    void ShowException() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(MSG& message);

    static TApplication* current_;
    ComInitialization com_;
    HINSTANCE instance_;
    UniqueWindow window_;
    TForm* modalForm_ = nullptr;
    ui::TQueueLookPacer queueLook_;
    bool terminated_ = false;
};

// Runs `handler` and shows any error that escapes it in the event error box.
template <typename F>
void SafeCall(F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception&) {
        if (TApplication* application = TApplication::Current()) application->ShowException();
    }
}
