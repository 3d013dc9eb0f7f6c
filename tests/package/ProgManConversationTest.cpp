// The client conversation against a DDE server of the test's own (a second
// DDE instance in this thread), which records what reaches it.
#include <gtest/gtest.h>

#include <dde.h>

#include "package/DdeInstance.h"
#include "package/ProgManConversation.h"
#include "tests/package/EngineTestSupport.h"

namespace {

class RecordingServer {
public:
    RecordingServer() {
        current_ = this;
        ::DdeInitializeA(&instance_, &Callback, APPCLASS_STANDARD, 0);
        service_ = ::DdeCreateStringHandleA(instance_, kService, CP_WINANSI);
        ::DdeNameService(instance_, service_, nullptr, DNS_REGISTER);
    }
    ~RecordingServer() {
        ::DdeNameService(instance_, service_, nullptr, DNS_UNREGISTER);
        ::DdeFreeStringHandle(instance_, service_);
        ::DdeUninitialize(instance_);
        current_ = nullptr;
    }
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    static constexpr char kService[] = "SetupEngineTestServer";
    static constexpr char kTopic[] = "SetupEngineTestTopic";

    struct Command {
        std::string bytes;
        UINT format;
    };
    std::vector<Command> commands;
    std::vector<CONVCONTEXT> contexts;
    int disconnects = 0;

private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ, HDDEDATA data,
                                      ULONG_PTR first, ULONG_PTR) {
        RecordingServer& self = *current_;
        switch (type) {
            case XTYP_CONNECT: {
                char name[64] = "";
                ::DdeQueryStringA(self.instance_, topic, name, sizeof name, CP_WINANSI);
                if (first) self.contexts.push_back(*reinterpret_cast<const CONVCONTEXT*>(first));
                return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(std::string(name) == kTopic));
            }
            case XTYP_CONNECT_CONFIRM:
                self.conversation_ = conversation;
                return nullptr;
            case XTYP_EXECUTE: {
                std::string bytes(::DdeGetData(data, nullptr, 0, 0), '\0');
                ::DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
                self.commands.push_back({bytes, format});
                return reinterpret_cast<HDDEDATA>(DDE_FACK);
            }
            case XTYP_DISCONNECT:
                ++self.disconnects;
                return nullptr;
            default:
                return nullptr;
        }
    }

    static inline RecordingServer* current_ = nullptr;
    DWORD instance_ = 0;
    HSZ service_ = nullptr;
    HCONV conversation_ = nullptr;
};

// A server speaking the DDE message protocol itself, as the classic Program
// Manager did: it answers the initiate, acknowledges executes, and can end
// the conversation the way a server does.
class RawServer {
public:
    static constexpr char kService[] = "SetupEngineRawServer";
    static constexpr char kTopic[] = "SetupEngineRawTopic";

    RawServer() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SetupEngineRawServer";
        ::RegisterClassA(&windowClass);
        window_ = ::CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RawServer() { ::DestroyWindow(window_); }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    void End() {
        ending_ = true;
        ::PostMessageA(client_, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(window_), 0);
    }

    std::vector<std::string> commands;

private:
    static std::string AtomText(ATOM atom) {
        char text[256] = "";
        ::GlobalGetAtomNameA(atom, text, sizeof text);
        return text;
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RawServer*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
        switch (message) {
            case WM_DDE_INITIATE:
                if (AtomText(LOWORD(lParam)) == kService && AtomText(HIWORD(lParam)) == kTopic) {
                    self->client_ = reinterpret_cast<HWND>(wParam);
                    ::SendMessageA(self->client_, WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                                   MAKELPARAM(::GlobalAddAtomA(kService), ::GlobalAddAtomA(kTopic)));
                }
                return 0;
            case WM_DDE_EXECUTE: {
                UINT_PTR unused = 0, commands = 0;
                ::UnpackDDElParam(WM_DDE_EXECUTE, lParam, &unused, &commands);
                const auto memory = reinterpret_cast<HGLOBAL>(commands);
                self->commands.emplace_back(static_cast<const char*>(::GlobalLock(memory)));
                ::GlobalUnlock(memory);
                ::PostMessageA(reinterpret_cast<HWND>(wParam), WM_DDE_ACK, reinterpret_cast<WPARAM>(window),
                               ::ReuseDDElParam(lParam, WM_DDE_EXECUTE, WM_DDE_ACK, 0x8000, commands));
                return 0;
            }
            case WM_DDE_TERMINATE:
                // The partner's answer to our terminate, or its own request.
                if (!self->ending_) ::PostMessageA(reinterpret_cast<HWND>(wParam), WM_DDE_TERMINATE,
                                                   reinterpret_cast<WPARAM>(window), 0);
                self->client_ = nullptr;
                return 0;
            default:
                return ::DefWindowProcA(window, message, wParam, lParam);
        }
    }

    HWND window_ = nullptr;
    HWND client_ = nullptr;
    bool ending_ = false;
};

class ProgManConversation : public ::testing::Test {
protected:
    RecordingServer server;
    TProgManConversation client{RecordingServer::kService, RecordingServer::kTopic};
};

TEST_F(ProgManConversation, ConnectsWithTheAnsiContextAndTextFormat) {
    ASSERT_NE(TDdeInstance::Id(), 0u);
    EXPECT_FALSE(client.Connected()) << "nothing connects before Open";
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Connected());
    ASSERT_EQ(server.contexts.size(), 1u);
    EXPECT_EQ(server.contexts[0].cb, 36u);
    EXPECT_EQ(server.contexts[0].iCodePage, CP_WINANSI);
    EXPECT_EQ(server.contexts[0].wFlags, 0u);
    EXPECT_EQ(client.Format(), UINT(CF_TEXT)) << "the server reports no format";
}

TEST_F(ProgManConversation, ExecuteHandsOverTheTextWithItsNulAndDoesNotWait) {
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Execute("[CreateGroup(Demo,Demo)]"));
    EXPECT_TRUE(server.commands.empty()) << "asynchronous: delivered only when messages are processed";
    ASSERT_TRUE(PumpUntil([&] { return !server.commands.empty(); }, 10000));
    EXPECT_EQ(server.commands[0].bytes, std::string("[CreateGroup(Demo,Demo)]", 25));
}

TEST_F(ProgManConversation, MacroLongerThan1023CharactersIsSentWhole) {
    ASSERT_TRUE(client.Open());
    const std::string macro = "[AddItem(C:\\" + std::string(1500, 'p') + "\\demo.exe," + std::string(900, 'c') + ")]";
    ASSERT_TRUE(client.Execute(macro));
    ASSERT_TRUE(PumpUntil([&] { return !server.commands.empty(); }, 10000));
    EXPECT_EQ(server.commands[0].bytes, macro + '\0');
}

TEST(ProgManConversationEnded, ServerEndingTheConversationStopsLaterMacros) {
    RawServer server;
    TProgManConversation client(RawServer::kService, RawServer::kTopic);
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.Execute("[First()]"));
    ASSERT_TRUE(PumpUntil([&] { return server.commands.size() == 1; }, 10000));
    server.End();
    EXPECT_TRUE(PumpUntil([&] { return !client.Connected(); }, 10000)) << "the ended conversation is forgotten";
    EXPECT_FALSE(client.Execute("[Late()]"));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(server.commands, std::vector<std::string>{"[First()]"});
}

TEST_F(ProgManConversation, CloseEndsTheConversation) {
    ASSERT_TRUE(client.Open());
    client.Close();
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(PumpUntil([&] { return server.disconnects == 1; }, 10000));
    EXPECT_FALSE(client.Execute("[CreateGroup(Closed,Closed)]"));
}

TEST(ProgManConversationWithoutServer, OpenFailsAndNothingIsSent) {
    // No such program either, so the one start attempt fails too.
    TProgManConversation client("SetupEngineNoSuchServer", "Topic");
    EXPECT_FALSE(client.Open());
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Execute("[CreateGroup(X,X)]"));
}

}  // namespace
