// The user-interface layer under Wine: the modal loop's result and close
// query, covered pages, Enter and the default button, and the event error
// box for errors escaping a handler.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "system/Errors.h"
#include "system/uCustomModule.h"
#include "ui/Application.h"
#include "ui/Form.h"

using namespace ui;
using enum ui::TKind;

namespace {

constexpr TComponentRow kLayout[] = {
    {"page1", Panel, "", 0, 0, 300, 200, ""},
    {"edit", Edit, "page1", 10, 10, 100, 21, ""},
    {"other", Button, "page1", 10, 40, 73, 24, "O&ther"},
    {"memo", Memo, "page1", 10, 70, 100, 40, ""},
    {"link", Label, "page1", 120, 10, 0, 0, "www.example.com", sLink},
    {"bold", Label, "page1", 120, 30, 0, 0, "Bold", sBold},
    {"large", Label, "page1", 120, 50, 150, 40, "Large and wrapping", sLarge | sWrap},
    {"page2", Panel, "", 0, 0, 300, 200, ""},
    {"covered", Button, "page2", 100, 40, 73, 24, "&Covered", sDefault},
};

// Runs `step` once from inside the modal loop, through a timer message.
std::function<void()> gStep;
void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto step = std::move(gStep);
    step();
}
void Soon(std::function<void()> step) {
    gStep = std::move(step);
    ::SetTimer(nullptr, 0, 10, &RunStep);
}

void PostKey(HWND window, WPARAM key) {
    ::PostMessageA(window, WM_KEYDOWN, key, 1);
    ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

class TestForm : public TForm {
public:
    TestForm() : TForm("TTestForm", 300, 200) {
        Build(kLayout);
        Find("other").OnClick = TNotifyEvent::Bind<&TestForm::OtherClick>(this);
        Find("covered").OnClick = TNotifyEvent::Bind<&TestForm::CoveredClick>(this);
        OnCloseQuery = TCloseQueryEvent::Bind<&TestForm::CloseQuery>(this);
        Find("page1").BringToFront();
    }
    void OtherClick(TComponent*) {
        ++otherClicks;
        if (!raise.empty()) Raise(EReadError(raise));
        SetModalResult(mrOk);
        afterRaise = true;
    }
    void CoveredClick(TComponent*) { ++coveredClicks; }
    void CloseQuery(TComponent*, bool& CanClose) {
        resultsSeen.push_back(ModalResult());
        if (refusals > 0) CanClose = false, --refusals;
    }

    int otherClicks = 0, coveredClicks = 0, refusals = 0;
    bool afterRaise = false;
    std::string raise;
    std::vector<int> resultsSeen;
};

class FormTest : public ::testing::Test {
protected:
    TApplication application;
    TestForm form;
};

TEST_F(FormTest, CloseRequestsAskAndARefusalKeepsTheLoopGoing) {
    form.refusals = 1;
    ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    ::PostMessageA(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the system menu's Close
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(form.resultsSeen, (std::vector<int>{mrCancel, mrCancel}));
    EXPECT_FALSE(::IsWindowVisible(form.Handle()));
}

TEST_F(FormTest, AltF4IsACloseRequest) {
    Soon([&] { ::PostMessageA(::GetFocus(), WM_SYSKEYDOWN, VK_F4, 0x20000001); });
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_EQ(form.resultsSeen, (std::vector<int>{mrCancel}));
}

TEST_F(FormTest, ApplicationBeingEndedEndsTheLoopWithoutAQuestion) {
    ::PostQuitMessage(0);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    EXPECT_TRUE(form.resultsSeen.empty());
    EXPECT_TRUE(application.Terminated());
}

TEST_F(FormTest, FocusGoesToTheFirstTabStopOfTheFrontPage) {
    HWND focused = nullptr;
    Soon([&] {
        focused = ::GetFocus();
        form.SetModalResult(mrOk);
    });
    form.OnCloseQuery = {};
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(focused, form.Find("edit").Handle());
}

TEST_F(FormTest, ControlsOfACoveredPageDoNotAct) {
    bool formShown = false, frontShown = false, coveredShown = true;
    Soon([&] {
        // Looked at while the form is up: a hidden form hides every page.
        formShown = ::IsWindowVisible(form.Handle());
        frontShown = ::IsWindowVisible(form.Find("page1").Handle());
        coveredShown = ::IsWindowVisible(form.Find("page2").Handle());
        ::SendMessageA(form.Find("covered").Handle(), BM_CLICK, 0, 0);
        ::PostMessageA(::GetFocus(), WM_SYSCHAR, 'c', 0x20000001);  // its access key
        ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    });
    form.OnCloseQuery = {};
    form.ShowModal();
    ASSERT_TRUE(formShown);
    EXPECT_TRUE(frontShown);
    EXPECT_FALSE(coveredShown);
    EXPECT_EQ(form.coveredClicks, 0);
    EXPECT_EQ(form.otherClicks, 0);
}

TEST_F(FormTest, AccessKeyOfTheFrontPageClicks) {
    Soon([&] { ::PostMessageA(::GetFocus(), WM_SYSCHAR, 't', 0x20000001); });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.otherClicks, 1);
}

TEST_F(FormTest, EnterClicksTheFocusedButton) {
    Soon([&] {
        ::SetFocus(form.Find("other").Handle());
        PostKey(form.Find("other").Handle(), VK_RETURN);
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.otherClicks, 1);
}

TEST_F(FormTest, EnterInAnEditClicksTheDefaultButtonOnlyWhenItsPageIsInFront) {
    Soon([&] {
        PostKey(form.Find("edit").Handle(), VK_RETURN);  // the default button is covered
        Soon([&] {
            form.Find("page2").BringToFront();
            EXPECT_FALSE(::IsWindowVisible(form.Find("page1").Handle()));
            Soon([&] {
                ::SetFocus(nullptr);
                ::SetFocus(form.Handle());  // back to the first tab stop: the default button itself
                PostKey(::GetFocus(), VK_RETURN);
                ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
            });
        });
    });
    form.OnCloseQuery = {};
    form.ShowModal();
    EXPECT_EQ(form.coveredClicks, 1);
    EXPECT_EQ(form.otherClicks, 0);
}

TEST_F(FormTest, EscapeDoesNothing) {
    Soon([&] {
        PostKey(form.Find("edit").Handle(), VK_ESCAPE);
        Soon([&] {
            // A memo asks its parent to close on Escape; the page stays.
            ::SetFocus(form.Find("memo").Handle());
            PostKey(form.Find("memo").Handle(), VK_ESCAPE);
            Soon([&] { form.SetModalResult(mrOk); });
        });
    });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.resultsSeen, (std::vector<int>{mrOk}));  // only the query of the final result
    EXPECT_TRUE(::IsWindow(form.Find("page1").Handle()));
    EXPECT_TRUE(::IsWindow(form.Find("memo").Handle()));
}

TEST_F(FormTest, FocusAskedForOnACoveredPageArrivesWithThatPage) {
    HWND before = nullptr, after = nullptr;
    Soon([&] {
        form.Find("covered").SetFocus();
        before = ::GetFocus();
        form.Find("page2").BringToFront();
        after = ::GetFocus();
        form.SetModalResult(mrOk);
    });
    form.OnCloseQuery = {};
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(before, form.Find("edit").Handle());
    EXPECT_EQ(after, form.Find("covered").Handle());
}

// The windows DestroyWindow is called on, as a computer-based-training hook
// sees them: only live windows get there.
std::vector<HWND> gDestroyCalls;
LRESULT CALLBACK RecordDestroyCall(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_DESTROYWND) gDestroyCalls.push_back(reinterpret_cast<HWND>(wParam));
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(FormLifetime, TheFormWindowTakesItsChildrenWithIt) {
    TApplication application;
    auto form = std::make_unique<TestForm>();
    std::vector<HWND> children;
    for (const TComponentRow& row : kLayout) children.push_back(form->Find(row.Name).Handle());
    const HWND window = form->Handle();
    gDestroyCalls.clear();
    const HHOOK hook = ::SetWindowsHookExA(WH_CBT, &RecordDestroyCall, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    form.reset();
    ::UnhookWindowsHookEx(hook);
    // Children destroyed one by one before their form would each show here,
    // and the later ones on handles their page had already destroyed.
    EXPECT_EQ(gDestroyCalls, (std::vector<HWND>{window}));
    EXPECT_FALSE(::IsWindow(window));
    for (HWND child : children) EXPECT_FALSE(::IsWindow(child));
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA font{};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST_F(FormTest, FontsAreMsSansSerifAtEightAndTwelvePoints) {
    for (const char* name : {"edit", "other", "link", "bold", "large"})
        EXPECT_STREQ(FontOf(form.Find(name).Handle()).lfFaceName, "MS Sans Serif") << name;
    EXPECT_EQ(FontOf(form.Find("other").Handle()).lfHeight, -11);  // 8 points at 96 pixels per inch
    EXPECT_EQ(FontOf(form.Find("bold").Handle()).lfWeight, FW_BOLD);
    EXPECT_EQ(FontOf(form.Find("large").Handle()).lfHeight, -16);
    EXPECT_EQ(FontOf(form.Find("large").Handle()).lfWeight, FW_BOLD);
    EXPECT_TRUE(FontOf(form.Find("link").Handle()).lfUnderline);
    EXPECT_FALSE(FontOf(form.Find("bold").Handle()).lfUnderline);
}

TEST_F(FormTest, LabelsSizeThemselvesToOneLineUnlessTheyWrap) {
    RECT rect;
    ::GetClientRect(form.Find("bold").Handle(), &rect);
    EXPECT_GT(rect.right, 0);
    EXPECT_EQ(rect.bottom, 13);
    const LONG before = rect.right;
    form.Find("bold").SetText("Bold, and now longer");
    ::GetClientRect(form.Find("bold").Handle(), &rect);
    EXPECT_GT(rect.right, before);
    ::GetClientRect(form.Find("large").Handle(), &rect);
    EXPECT_EQ(std::make_pair(rect.right, rect.bottom), std::make_pair(LONG(150), LONG(40)));
}

TEST_F(FormTest, LinkLabelsAreBlueWithAHandPointerAndMemosShowTheButtonFace) {
    HWND page = form.Find("page1").Handle();
    HDC dc = ::CreateCompatibleDC(nullptr);
    ::SendMessageA(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(form.Find("link").Handle()));
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 255));
    ::SendMessageA(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(form.Find("bold").Handle()));
    EXPECT_EQ(::GetTextColor(dc), ::GetSysColor(COLOR_WINDOWTEXT));
    const LRESULT brush =
        ::SendMessageA(page, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(form.Find("memo").Handle()));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ::GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(::GetBkColor(dc), ::GetSysColor(COLOR_BTNFACE));
    ::DeleteDC(dc);

    EXPECT_TRUE(::SendMessageA(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Find("link").Handle()),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, IDC_HAND));
    EXPECT_FALSE(::SendMessageA(page, WM_SETCURSOR, reinterpret_cast<WPARAM>(form.Find("bold").Handle()),
                                MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
}

TEST_F(FormTest, MemoTakesEnterAsALineBreak) {
    Soon([&] {
        HWND memo = form.Find("memo").Handle();
        ::SetFocus(memo);
        ::PostMessageA(memo, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageA(memo, WM_CHAR, '\r', 1);
        ::PostMessageA(memo, WM_KEYUP, VK_RETURN, 0xC0000001);
        Soon([&] { form.SetModalResult(mrOk); });
    });
    form.OnCloseQuery = {};
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_EQ(form.otherClicks, 0);
    EXPECT_EQ(form.Find("memo").GetText(), "\r\n");
}

// Reads and dismisses the first message box the main thread shows.
struct BoxSeen {
    std::string text, title;
    HWND owner = nullptr;
};

BOOL CALLBACK ReadAndDismissBox(HWND window, LPARAM out) {
    char name[32];
    ::GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !::IsWindowVisible(window)) return TRUE;
    auto& seen = *reinterpret_cast<BoxSeen*>(out);
    char buffer[1024];
    ::GetDlgItemTextA(window, 0xFFFF, buffer, sizeof buffer);
    seen.text = buffer;
    ::GetWindowTextA(window, buffer, sizeof buffer);
    seen.title = buffer;
    seen.owner = ::GetWindow(window, GW_OWNER);
    ::PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

BoxSeen DismissNextBox(DWORD thread) {
    BoxSeen seen;
    for (int i = 0; i < 400 && !seen.owner; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ::EnumThreadWindows(thread, &ReadAndDismissBox, reinterpret_cast<LPARAM>(&seen));
    }
    return seen;
}

// Clicks "other" with its handler raising `message`, then closes the form:
// ShowModal's result and the event box that showed (dismissed with OK).
struct RaisedRun {
    int result;
    BoxSeen box;
};
RaisedRun RaiseInAHandler(TestForm& form, const std::string& message) {
    form.raise = message;
    BoxSeen seen;
    std::thread watcher([&, thread = ::GetCurrentThreadId()] { seen = DismissNextBox(thread); });
    Soon([&] {
        ::SendMessageA(form.Find("other").Handle(), BM_CLICK, 0, 0);
        ::PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    });
    form.OnCloseQuery = {};
    const int result = form.ShowModal();
    watcher.join();
    return {result, seen};
}

TEST_F(FormTest, AnErrorEscapingAHandlerShowsTheEventBoxAndTheLoopGoesOn) {
    const auto [result, seen] = RaiseInAHandler(form, "Stream read error");
    EXPECT_EQ(result, mrCancel);
    EXPECT_EQ(form.otherClicks, 1);
    EXPECT_FALSE(form.afterRaise);  // the rest of the handler is skipped
    EXPECT_EQ(seen.text, "Stream read error.");
    EXPECT_EQ(seen.title, GetApplicationTitle());
    EXPECT_EQ(seen.owner, application.Handle());
    EXPECT_EQ(GetApplicationWindow(), application.Handle());
}

TEST_F(FormTest, EventBoxAddsNoPeriodAfterAQuote) {
    EXPECT_EQ(RaiseInAHandler(form, "Failed to set data for 'Path'").box.text, "Failed to set data for 'Path'");
}

}  // namespace
