// The client side of one DDE conversation with the Program Manager service
// (another service in tests):
// owns its two string handles and the conversation, and sends command macros.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

#include "package/ProgManCommands.h"
#include "system/Handles.h"

class TProgManConversation {
public:
    // Nothing is connected until Open.
    explicit TProgManConversation(std::string Service = ProgManCommands::kService,
                                  std::string Topic = ProgManCommands::kTopic);
    ~TProgManConversation();
    TProgManConversation(const TProgManConversation&) = delete;
    TProgManConversation& operator=(const TProgManConversation&) = delete;

    // Connects; when no server answers, starts the program "Service Topic"
    // once and connects again. False when still unconnected; says nothing.
    bool Open();
    // Hands `Macro` (whole, with its NUL) to the server as an asynchronous
    // execute; true means handed over, not carried out. False when there is
    // no conversation or the DDE library refuses.
    bool Execute(const std::string& Macro);
    // Disconnects and frees the string handles.
    void Close();

    // True while the conversation lasts; forgets one the server has ended.
    bool Connected();
    // The data format of the commands: what the server reported, else CF_TEXT.
    UINT Format() const { return format_; }

    // From the DDE callback: the server ended `conversation`; the client
    // attached to it forgets its handle, so no later macro is sent.
    static void Disconnected(HCONV conversation);

private:
    bool Connect();

    std::string service_;
    std::string topic_;
    UniqueDdeString serviceName_;
    UniqueDdeString topicName_;
    HCONV conversation_ = nullptr;
    UINT format_ = CF_TEXT;
};
