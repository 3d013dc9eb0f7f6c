// Holds a file open with no sharing, as another program working on it would,
// until told to let go.
//   hold_file PATH HELD_EVENT RELEASE_EVENT
// Signals HELD_EVENT once the file is open, then waits (at most a minute) for
// RELEASE_EVENT. Exit code 0 when released, 1 when the file or an event could
// not be opened, 3 on the time-out.
#include <windows.h>

#include "system/Handles.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const UniqueFile file(::CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    const UniqueKernelHandle held(::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]));
    const UniqueKernelHandle release(::OpenEventA(SYNCHRONIZE, FALSE, argv[3]));
    if (!file || !held || !release) return 1;
    ::SetEvent(held.get());
    return ::WaitForSingleObject(release.get(), 60000) == WAIT_OBJECT_0 ? 0 : 3;
}
