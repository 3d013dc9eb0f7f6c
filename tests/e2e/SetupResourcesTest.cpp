// The resources linked into Setup.exe: the manifest, MAINICON and the
// wizard's two pictures (compressed), read from the built executable as data.
//   setup_resources_tests PATH_TO_SETUP_EXE
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "system/Decompressor.h"
#include "wizard/Pictures.h"

namespace {

std::string gSetupPath;

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconDir {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

class SetupResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExA(gSetupPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_) << "cannot load " << gSetupPath;
    }
    void TearDown() override {
        if (module_) ::FreeLibrary(module_);
    }
    // The resource's bytes; empty when there is none.
    std::string Bytes(LPCSTR name, LPCSTR type) const {
        HRSRC found = ::FindResourceA(module_, name, type);
        if (!found) return {};
        HGLOBAL loaded = ::LoadResource(module_, found);
        return std::string(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module_, found));
    }
    HMODULE module_ = nullptr;
};

// A compressed BMP file: the 4-bit bitmap the generator draws, byte for byte,
// whose header and palette are the ones given here.
void ExpectPicture(const std::string& stored, const Pictures::Bytes& drawn, LONG width, LONG height,
                   const std::array<COLORREF, 16>& palette) {
    ASSERT_FALSE(stored.empty());
    const Pictures::Bytes bytes = Decompressor::DecodeAll(reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size());
    EXPECT_EQ(bytes, drawn);
    ASSERT_GE(bytes.size(), 14 + sizeof(BITMAPINFOHEADER) + 64);
    BITMAPINFOHEADER info;
    std::memcpy(&info, bytes.data() + 14, sizeof info);
    EXPECT_EQ(info.biWidth, width);
    EXPECT_EQ(info.biHeight, height);
    EXPECT_EQ(info.biBitCount, 4);
    EXPECT_EQ(info.biCompression, DWORD(BI_RGB));
    for (int i = 0; i < 16; ++i) {
        RGBQUAD entry;
        std::memcpy(&entry, bytes.data() + 14 + sizeof info + 4 * i, sizeof entry);
        EXPECT_EQ(RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue), palette[i]) << "palette entry " << i;
    }
}

TEST_F(SetupResources, ManifestAsksForAdministratorRights) {
    const std::string manifest = Bytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {"name=\"Setup.exe\"", "processorArchitecture=\"x86\"", "version=\"1.0.0.0\"",
                             "type=\"win32\"", "level=\"requireAdministrator\"", "uiAccess=\"false\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    // Classic controls: version 6 would theme the buttons and the progress bar.
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}

TEST_F(SetupResources, MainIconIsOne32x32ImageWith256Colours) {
    const std::string group = Bytes("MAINICON", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6 + sizeof(GroupIconEntry));
    GroupIconDir dir;
    std::memcpy(&dir, group.data(), 6 + sizeof(GroupIconEntry));
    EXPECT_EQ(dir.type, 1);
    ASSERT_EQ(dir.count, 1);
    EXPECT_EQ(dir.entries[0].width, 32);
    EXPECT_EQ(dir.entries[0].height, 32);
    EXPECT_EQ(dir.entries[0].bitCount, 8);
    const std::string image = Bytes(MAKEINTRESOURCEA(dir.entries[0].id), MAKEINTRESOURCEA(3));  // RT_ICON
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER info;
    std::memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64);
    EXPECT_EQ(info.biBitCount, 8);
    EXPECT_EQ(info.biClrUsed, 256u);
    EXPECT_TRUE(::LoadImageA(module_, "MAINICON", IMAGE_ICON, 32, 32, 0));
}

TEST_F(SetupResources, PicturesAreCompressed4BitBitmapsWithTheirPalettes) {
    using namespace Pictures;
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    ExpectPicture(Bytes("SIDEPICTURE", RT_RCDATA), Encode4Bit(SideRaster(), kSideColours.palette), 164, 314,
                  {black, RGB(0, 0, 57), RGB(0, 0, 132), RGB(132, 132, 132), RGB(165, 165, 165), RGB(198, 198, 198),
                   white, black, black, black, black, black, black, black, black, black});
    ExpectPicture(Bytes("HEADERPICTURE", RT_RCDATA), Encode4Bit(HeaderRaster(), kHeaderColours.palette), 55, 55,
                  {black, RGB(0, 0, 132), RGB(132, 132, 132), RGB(165, 165, 165), RGB(198, 198, 198), white, white,
                   white, white, white, white, white, white, white, white, white});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: setup_resources_tests PATH_TO_SETUP_EXE\n");
        return 2;
    }
    gSetupPath = argv[1];
    // A path of the build machine: Wine shows its root as drive Z:.
    if (gSetupPath.starts_with("/")) {
        for (char& c : gSetupPath)
            if (c == '/') c = '\\';
        gSetupPath = "Z:" + gSetupPath;
    }
    return RUN_ALL_TESTS();
}
