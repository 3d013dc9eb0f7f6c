// The clock the Windows benchmarks time their work with.
#pragma once

#include <windows.h>

// Seconds on the performance counter, for differences between two calls.
inline double Seconds() {
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}
