#include "package/DdeInstance.h"

#include <ddeml.h>

#include "package/ProgManConversation.h"
#include "system/Errors.h"

namespace {

DWORD gInstance = 0;

// The client needs one notification: the server ended a conversation.
HDDEDATA CALLBACK ClientCallback(UINT type, UINT, HCONV conversation, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_DISCONNECT) TProgManConversation::Disconnected(conversation);
    return nullptr;
}

}  // namespace

TDdeInstance::TDdeInstance() {
    DWORD instance = 0;
    const UINT result = ::DdeInitializeA(&instance, &ClientCallback, 0, 0);
    if (result != DMLERR_NO_ERROR) {
        // Without an instance DdeGetLastError knows nothing; the result does.
        UINT code = instance ? ::DdeGetLastError(instance) : 0;
        if (code == DMLERR_NO_ERROR) code = result;
        if (instance) ::DdeUninitialize(instance);
        Raise(EDdeError(ErrorText::Dde(code)));
    }
    id_ = instance;
    gInstance = instance;
}

TDdeInstance::~TDdeInstance() {
    ::DdeUninitialize(id_);
    if (gInstance == id_) gInstance = 0;
}

DWORD TDdeInstance::Id() { return gInstance; }
