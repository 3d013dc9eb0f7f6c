// The error for a failed window-system call of the framework.
#pragma once

#include "system/Errors.h"

// Raises EOSError with the system's text for the last error code.
[[noreturn]] inline void RaiseLastWin32Error() { Raise(Exception("EOSError", LastSystemErrorText())); }
