// The forms' events.
#pragma once

#include "system/Method.h"

class TComponent;

// A click, a creation: only the sender.
using TNotifyEvent = TMethod<TComponent*>;
// The close query: the handler may set CanClose to false to refuse.
using TCloseQueryEvent = TMethod<TComponent*, bool&>;
