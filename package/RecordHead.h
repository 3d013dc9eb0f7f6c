// The package records: a 552-byte trailer at the end of the file and four
// tables of fixed-size records that it locates by absolute file offset.
// Every record is laid out byte for byte as stored (no padding, little-endian
// integers whatever the host), so tables are read and written as raw bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "system/Errors.h"
#include "system/LittleEndian.h"

namespace RecordHead {

// A little-endian 32-bit field without alignment requirements.
template <typename T>
struct LE32 {
    static_assert(sizeof(T) == 4);
    std::array<std::uint8_t, 4> bytes{};

    T Get() const {
        return static_cast<T>(LittleEndian::Load32(bytes.data()));
    }
    void Set(T value) { LittleEndian::Store32(bytes.data(), static_cast<std::uint32_t>(value)); }
};
using LEInt32 = LE32<std::int32_t>;
using LEUInt32 = LE32<std::uint32_t>;

// A fixed-width text field: NUL-terminated when shorter than the field, no
// NUL when the value fills it exactly.
template <std::size_t N>
struct TextField {
    std::array<char, N> bytes{};

    static constexpr std::size_t Width = N;

    std::string Text() const {
        std::size_t len = 0;
        while (len < N && bytes[len] != '\0') ++len;
        return std::string(bytes.data(), len);
    }
    // False when the value does not fit; the field is then left unchanged.
    bool TrySet(std::string_view value) {
        if (value.size() > N) return false;
        bytes.fill('\0');
        value.copy(bytes.data(), value.size());
        return true;
    }
};

// Raised when a value does not fit its field.
class EFieldTooLong : public ELengthError {
public:
    EFieldTooLong(std::string_view field, std::size_t length, std::size_t width);
};

// Sets a text field or raises EFieldTooLong naming `fieldName`.
template <std::size_t N>
void SetText(TextField<N>& field, std::string_view value, std::string_view fieldName) {
    if (!field.TrySet(value)) throw EFieldTooLong(fieldName, value.size(), N);
}

#pragma pack(push, 1)

struct TPackHeader {
    TextField<4> Magic;
    TextField<256> AppName;
    TextField<64> Author;
    TextField<64> Email;
    TextField<128> Website;
    LEUInt32 Reserved;
    LEInt32 RegCount;
    LEUInt32 RegOffset;
    LEInt32 FileCount;
    LEUInt32 FileOffset;
    LEInt32 ShellCount;
    LEUInt32 ShellOffset;
    LEInt32 DirCount;
    LEUInt32 DirOffset;
};

struct TFileItem {
    TextField<256> FileName;
    TextField<256> BaseDir;
    TextField<256> SubDir;
    LEUInt32 Offset;
    LEUInt32 Size;
};

struct TDirItem {
    TextField<256> BaseDir;
    TextField<256> SubDir;
};

enum TShellItemKind : std::uint8_t {
    skCreateGroup = 0,
    skAddItem = 1,
    skNone = 2,
    skScreenSaver = 3,
    skWallpaper = 4,
};

struct TShellItem {
    std::uint8_t Kind{};  // a TShellItemKind; any other value does nothing
    TextField<256> BaseDir;
    TextField<256> SubDir;
    TextField<256> FileName;
    TextField<256> Caption;
};

struct TRegItem {
    LEUInt32 RootKey;  // a predefined root handle value, e.g. 0x80000001
    TextField<512> Key;
    TextField<128> ValueName;
    TextField<1024> ValueData;
};

#pragma pack(pop)

static_assert(sizeof(TPackHeader) == 552);
static_assert(offsetof(TPackHeader, Magic) == 0);
static_assert(offsetof(TPackHeader, AppName) == 4);
static_assert(offsetof(TPackHeader, Author) == 260);
static_assert(offsetof(TPackHeader, Email) == 324);
static_assert(offsetof(TPackHeader, Website) == 388);
static_assert(offsetof(TPackHeader, Reserved) == 516);
static_assert(offsetof(TPackHeader, RegCount) == 520);
static_assert(offsetof(TPackHeader, RegOffset) == 524);
static_assert(offsetof(TPackHeader, FileCount) == 528);
static_assert(offsetof(TPackHeader, FileOffset) == 532);
static_assert(offsetof(TPackHeader, ShellCount) == 536);
static_assert(offsetof(TPackHeader, ShellOffset) == 540);
static_assert(offsetof(TPackHeader, DirCount) == 544);
static_assert(offsetof(TPackHeader, DirOffset) == 548);

static_assert(sizeof(TFileItem) == 776);
static_assert(offsetof(TFileItem, FileName) == 0);
static_assert(offsetof(TFileItem, BaseDir) == 256);
static_assert(offsetof(TFileItem, SubDir) == 512);
static_assert(offsetof(TFileItem, Offset) == 768);
static_assert(offsetof(TFileItem, Size) == 772);

static_assert(sizeof(TDirItem) == 512);
static_assert(offsetof(TDirItem, BaseDir) == 0);
static_assert(offsetof(TDirItem, SubDir) == 256);

static_assert(sizeof(TShellItem) == 1025);
static_assert(offsetof(TShellItem, Kind) == 0);
static_assert(offsetof(TShellItem, BaseDir) == 1);
static_assert(offsetof(TShellItem, SubDir) == 257);
static_assert(offsetof(TShellItem, FileName) == 513);
static_assert(offsetof(TShellItem, Caption) == 769);

static_assert(sizeof(TRegItem) == 1668);
static_assert(offsetof(TRegItem, RootKey) == 0);
static_assert(offsetof(TRegItem, Key) == 4);
static_assert(offsetof(TRegItem, ValueName) == 516);
static_assert(offsetof(TRegItem, ValueData) == 644);

inline constexpr std::string_view PackageMagic = "qzx";

// True when the header's magic reads exactly "qzx" (bytes 0..3 up to the first NUL).
inline bool IsValidHeader(const TPackHeader& header) { return header.Magic.Text() == PackageMagic; }

// The three base-directory keywords and the one text macro.
inline constexpr std::string_view kInstallDir = "InstallDir";
inline constexpr std::string_view kWindowsDir = "WindowsDir";
inline constexpr std::string_view kSystem32Dir = "System32Dir";
inline constexpr std::string_view kInstallDirMacro = "{InstallDir}";

}  // namespace RecordHead
