#include "package/ProgManConversation.h"

#include <utility>

#include "package/DdeInstance.h"

namespace {
static_assert(sizeof(CONVCONTEXT) == 36);
static_assert(sizeof(CONVINFO) == 96);

constexpr DWORD kDataIsHandle = 0xFFFFFFFF;

UniqueDdeString MakeName(DWORD instance, const std::string& text) {
    return UniqueDdeString(instance, ::DdeCreateStringHandleA(instance, text.c_str(), CP_WINANSI));
}
}  // namespace

TProgManConversation::TProgManConversation(std::string Service, std::string Topic)
    : service_(std::move(Service)), topic_(std::move(Topic)) {}

TProgManConversation::~TProgManConversation() { Close(); }

bool TProgManConversation::Connect() {
    CONVCONTEXT context{};
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    conversation_ = ::DdeConnect(TDdeInstance::Id(), serviceName_.get(), topicName_.get(), &context);
    return conversation_ != nullptr;
}

bool TProgManConversation::Open() {
    const DWORD instance = TDdeInstance::Id();
    if (instance == 0) return false;
    serviceName_ = MakeName(instance, service_);
    topicName_ = MakeName(instance, topic_);
    if (!Connect()) {
        // The one attempt to start the server program; no further retries.
        const std::string commandLine = service_ + " " + topic_;
        if (::WinExec(commandLine.c_str(), SW_SHOWMINNOACTIVE) >= 32) Connect();
    }
    if (!conversation_) return false;

    CONVINFO info{};
    info.cb = sizeof info;
    ::DdeQueryConvInfo(conversation_, QID_SYNC, &info);
    // The callback finds this object through the conversation's user handle.
    ::DdeSetUserHandle(conversation_, QID_SYNC, reinterpret_cast<DWORD_PTR>(this));
    format_ = info.wFmt != 0 ? info.wFmt : CF_TEXT;
    return true;
}

bool TProgManConversation::Connected() {
    if (!conversation_) return false;
    // Wine's DDE library ends a conversation the server ended without telling
    // the client's callback; its status still says so.
    CONVINFO info{};
    info.cb = sizeof info;
    if (::DdeQueryConvInfo(conversation_, QID_SYNC, &info) == 0 || !(info.wStatus & ST_CONNECTED))
        conversation_ = nullptr;
    return conversation_ != nullptr;
}

bool TProgManConversation::Execute(const std::string& Macro) {
    if (!Connected()) return false;
    // DdeCreateDataHandle copies the bytes; it only takes a non-const pointer.
    auto* bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(Macro.c_str()));
    const HDDEDATA data = ::DdeCreateDataHandle(TDdeInstance::Id(), bytes, static_cast<DWORD>(Macro.size() + 1), 0,
                                                nullptr, format_, 0);
    if (!data) return false;
    // The data handle belongs to the DDE library once the transaction has it.
    DWORD transaction = 0;
    return ::DdeClientTransaction(reinterpret_cast<LPBYTE>(data), kDataIsHandle, conversation_, nullptr, format_,
                                  XTYP_EXECUTE, TIMEOUT_ASYNC, &transaction) != nullptr;
}

void TProgManConversation::Close() {
    if (Connected()) {
        ::DdeSetUserHandle(conversation_, QID_SYNC, 0);
        ::DdeDisconnect(std::exchange(conversation_, nullptr));
    }
    serviceName_.reset();
    topicName_.reset();
}

void TProgManConversation::Disconnected(HCONV conversation) {
    CONVINFO info{};
    info.cb = sizeof info;
    if (::DdeQueryConvInfo(conversation, QID_SYNC, &info) == 0) return;
    auto* client = reinterpret_cast<TProgManConversation*>(info.hUser);
    if (client && client->conversation_ == conversation) client->conversation_ = nullptr;
}
