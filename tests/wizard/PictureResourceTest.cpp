// The wizard's compressed pictures, linked into this program as into
// Setup.exe, expand to the bitmaps the generator draws: same bits, same palette.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "wizard/PictureResource.h"
#include "wizard/Pictures.h"
#include "wizard/WelcomeLayout.h"

TEST(PictureResource, ExpandsToTheDrawnBitmap) {
    using namespace Pictures;
    const struct {
        std::string_view name;
        Bytes file;
        Palette16 palette;
    } pictures[] = {{kSidePicture, Encode4Bit(SideRaster(), kSideColours.palette), kSideColours.palette},
                    {kHeaderPicture, Encode4Bit(HeaderRaster(), kHeaderColours.palette), kHeaderColours.palette}};
    for (const auto& picture : pictures) {
        SCOPED_TRACE(std::string(picture.name));
        const UniqueGdiObject bitmap = LoadPictureResource(picture.name);
        DIBSECTION section{};
        ASSERT_EQ(::GetObjectA(bitmap.get(), sizeof section, &section), int(sizeof section));
        EXPECT_EQ(section.dsBmih.biBitCount, 4);
        EXPECT_EQ(std::memcmp(&section.dsBmih, picture.file.data() + 14, 16), 0);  // size, width, height, planes
        const std::size_t bits = picture.file.size() - 118;
        ASSERT_EQ(section.dsBmih.biSizeImage, bits);
        EXPECT_EQ(std::memcmp(section.dsBm.bmBits, picture.file.data() + 118, bits), 0);
        const HDC dc = ::CreateCompatibleDC(nullptr);
        const HGDIOBJ old = ::SelectObject(dc, bitmap.get());
        RGBQUAD colours[16];
        EXPECT_EQ(::GetDIBColorTable(dc, 0, 16, colours), 16u);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ((Rgb{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue}), picture.palette[i]) << i;
    }
}
