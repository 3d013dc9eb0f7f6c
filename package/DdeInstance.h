// The process's DDE management instance: initialised once as the program
// starts (before the package opens) and released when it ends.
#pragma once

#include <windows.h>

class TDdeInstance {
public:
    // DdeInitializeA with the client callback; raises EDdeError on failure.
    TDdeInstance();
    ~TDdeInstance();
    TDdeInstance(const TDdeInstance&) = delete;
    TDdeInstance& operator=(const TDdeInstance&) = delete;

    // The live instance's identifier; 0 when none is initialised.
    static DWORD Id();

private:
    DWORD id_ = 0;
};
