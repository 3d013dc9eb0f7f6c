#include "wizard/PictureResource.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "system/Decompressor.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"
#include "ui/Win32Error.h"

UniqueGdiObject LoadPictureResource(std::string_view name) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(module, std::string(name).c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) RaiseLastWin32Error();
    const auto* stored = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, found)));
    const std::vector<std::uint8_t> file = Decompressor::DecodeAll(stored, ::SizeofResource(module, found));
    // The file header, then the bitmap's own header, its palette and its bits.
    constexpr std::size_t kFileHeader = 14;
    if (file.size() < kFileHeader + sizeof(BITMAPINFOHEADER)) RaiseReadError();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(file.data() + kFileHeader);
    const std::size_t bitsAt = LittleEndian::Load32(file.data() + 10), bitsSize = info->bmiHeader.biSizeImage;
    if (bitsAt > file.size() || bitsSize > file.size() - bitsAt) RaiseReadError();
    void* bits = nullptr;
    UniqueGdiObject bitmap(::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) RaiseLastWin32Error();
    std::memcpy(bits, file.data() + bitsAt, bitsSize);
    return bitmap;
}
