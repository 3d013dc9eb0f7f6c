// Pictures of the screen or of one window, saved as 24-bit .bmp files, and
// recognising which of the system's standard icons a control shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace driver {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// What the screen shows in `rect` (screen coordinates).
Image CaptureScreen(const RECT& rect);
// Raises CommandFailed when the file cannot be written.
void SaveBitmap(const Image& image, const std::string& path);

// "question", "error", "warning", "information" for the standard icon the
// control shows, "none" when it holds no icon, "unknown" otherwise. An icon
// the control holds but the screen does not show yet is waited for up to
// `seconds`.
std::string RecogniseIcon(HWND iconControl, double seconds);

}  // namespace driver
