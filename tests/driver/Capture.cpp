#include "Capture.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "WindowFind.h"
#include "system/Handles.h"
#include "system/LittleEndian.h"

namespace driver {

namespace {

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class MemoryDc {
public:
    explicit MemoryDc(HDC like) : dc_(::CreateCompatibleDC(like)) {}
    ~MemoryDc() {
        if (dc_) ::DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~Selection() { ::SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A top-down 32-bit picture that GDI draws into and we read directly.
class Canvas {
public:
    Canvas(HDC like, int width, int height) : width_(width), height_(height), dc_(like) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_.reset(::CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (!bitmap_ || !dc_.get()) throw CommandFailed("cannot make a picture of " + std::to_string(width) + "x" +
                                                        std::to_string(height) + " pixels");
        selection_.emplace(dc_.get(), bitmap_.get());
    }
    HDC dc() const { return dc_.get(); }
    void Fill(std::uint32_t rgb) {
        auto* p = static_cast<std::uint32_t*>(bits_);
        for (int i = 0; i < width_ * height_; ++i) p[i] = rgb;
    }
    Image Take() const {
        ::GdiFlush();
        Image image{width_, height_, {}};
        image.pixels.resize(static_cast<std::size_t>(width_) * height_);
        const auto* p = static_cast<const std::uint32_t*>(bits_);
        for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = p[i] & 0xFFFFFF;
        return image;
    }

private:
    int width_, height_;
    MemoryDc dc_;
    UniqueGdiObject bitmap_;
    void* bits_ = nullptr;
    std::optional<Selection> selection_;
};

using LittleEndian::Append16;
using LittleEndian::Append32;

// Mean difference per colour channel of two pictures of the same size.
double Difference(const Image& a, const Image& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return std::numeric_limits<double>::max();
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift <= 16; shift += 8)
            sum += std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) - static_cast<int>((b.pixels[i] >> shift) & 0xFF));
    return sum / (a.pixels.size() * 3.0);
}

bool AllOneColour(const Image& image) {
    for (std::uint32_t p : image.pixels)
        if (p != image.pixels.front()) return false;
    return true;
}

}  // namespace

Image CaptureScreen(const RECT& rect) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) throw CommandFailed("nothing to capture: the area is empty");
    WindowDc screen(nullptr);
    Canvas canvas(screen.get(), width, height);
    if (!::BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY))
        throw CommandFailed("BitBlt from the screen failed");
    return canvas.Take();
}

void SaveBitmap(const Image& image, const std::string& path) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3 + 3) & ~3u;
    const std::uint32_t dataBytes = rowBytes * image.height;
    std::vector<std::uint8_t> out;
    out.reserve(54 + dataBytes);
    out.push_back('B');
    out.push_back('M');
    for (std::uint32_t v : {54 + dataBytes, 0u, 54u, 40u}) Append32(out, v);
    Append32(out, static_cast<std::uint32_t>(image.width));
    Append32(out, static_cast<std::uint32_t>(image.height));  // bottom row first
    Append16(out, 1);
    Append16(out, 24);
    for (std::uint32_t v : {0u, dataBytes, 2835u, 2835u, 0u, 0u}) Append32(out, v);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            out.push_back(static_cast<std::uint8_t>(p));
            out.push_back(static_cast<std::uint8_t>(p >> 8));
            out.push_back(static_cast<std::uint8_t>(p >> 16));
        }
        out.resize(out.size() + (rowBytes - image.width * 3), 0);
    }
    UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr) ||
        written != out.size())
        throw CommandFailed("cannot write " + path + " (error " + std::to_string(::GetLastError()) + ")");
}

namespace {

// One look at what the screen shows of the control.
std::string IconShown(HWND iconControl) {
    RECT rect{};
    ::GetWindowRect(iconControl, &rect);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return "none";
    const Image shown = CaptureScreen(rect);
    if (AllOneColour(shown)) return "none";
    struct Candidate {
        const char* name;
        LPCSTR id;
    };
    static const Candidate kCandidates[] = {
        {"question", IDI_QUESTION}, {"error", IDI_HAND}, {"warning", IDI_EXCLAMATION}, {"information", IDI_ASTERISK}};
    const char* best = "unknown";
    double bestDifference = 24;  // above this mean channel difference nothing counts as the same picture
    WindowDc screen(nullptr);
    for (const Candidate& candidate : kCandidates) {
        Canvas canvas(screen.get(), shown.width, shown.height);
        canvas.Fill(shown.pixels.front());  // the background the control draws on
        ::DrawIconEx(canvas.dc(), 0, 0, ::LoadIconA(nullptr, candidate.id), shown.width, shown.height, 0, nullptr,
                     DI_NORMAL);
        const double difference = Difference(shown, canvas.Take());
        if (difference < bestDifference) {
            bestDifference = difference;
            best = candidate.name;
        }
    }
    return best;
}

// The icon handle the control holds (STM_GETICON), 0 when it holds none.
bool HoldsIcon(HWND iconControl) {
    DWORD_PTR icon = 0;
    return ::SendMessageTimeoutA(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &icon) && icon != 0;
}

}  // namespace

std::string RecogniseIcon(HWND iconControl, double seconds) {
    // A box counts as found once it is visible, which can be before it has
    // painted and before Wine has copied its surface to the screen: an icon the
    // control holds is looked at until the screen shows a known one.
    if (!HoldsIcon(iconControl)) return "none";
    // The screen is read, so the box must be on top: a click on a window
    // the box does not disable (its program's other window) raises that one
    // over the box and hides the icon.
    const HWND box = ::GetAncestor(iconControl, GA_ROOT);
    std::string seen;
    WaitUntil(seconds, [&] {
        if (::GetForegroundWindow() != box) ::SetForegroundWindow(box);
        seen = IconShown(iconControl);
        return seen != "none" && seen != "unknown";
    });
    return seen;
}

}  // namespace driver
