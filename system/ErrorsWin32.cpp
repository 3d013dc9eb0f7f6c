// The system's error text on Windows.
#include <windows.h>

#include "system/Errors.h"

std::string LastSystemErrorText() {
    const DWORD code = ::GetLastError();
    char buffer[512];
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                          0, buffer, sizeof buffer, nullptr);
    return ErrorText::TrimSystemText(std::string_view(buffer, length));
}
