// A package's setup executable as Windows sees it: its version information
// through the version API, its icon through the resource and image API, its
// checksum through the image helper library.
//   stub_resources_tests PACKAGE_EXE ICON_FILE FIXED_VERSION [NAME=TEXT...]
// FIXED_VERSION is "a.b.c.d"; each NAME=TEXT is a string the version
// resource must hold, "NAME=" one it must not.
#include <windows.h>

#include <imagehlp.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "system/LittleEndian.h"

namespace {

std::string gExe, gIcon, gFixed;
std::vector<std::pair<std::string, std::string>> gStrings;

std::string WindowsPath(std::string path) {
    if (!path.starts_with("/")) return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(StubResources, VersionInformationAsExplorerReadsIt) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(gExe.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version information, error " << ::GetLastError();
    std::vector<char> info(size);
    ASSERT_TRUE(::GetFileVersionInfoA(gExe.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
                  fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    EXPECT_EQ(text, gFixed) << "file version";
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwProductVersionMS >> 16,
                  fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF);
    EXPECT_EQ(text, gFixed) << "product version";

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    std::snprintf(text, sizeof text, "\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
    const std::string table = text;
    for (const auto& [name, expected] : gStrings) {
        char* value = nullptr;
        const BOOL found = ::VerQueryValueA(info.data(), (table + name).c_str(), reinterpret_cast<void**>(&value), &length);
        if (expected.empty()) {
            EXPECT_FALSE(found && length > 0 && *value) << name << " should be absent";
        } else {
            ASSERT_TRUE(found) << name;
            EXPECT_EQ(std::string(value), expected) << name;
        }
    }
}

class Module : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExA(gExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_) << "cannot load " << gExe;
    }
    void TearDown() override {
        if (module_) ::FreeLibrary(module_);
    }
    std::string Bytes(LPCSTR name, LPCSTR type) const {
        HRSRC found = ::FindResourceA(module_, name, type);
        if (!found) return {};
        return std::string(static_cast<const char*>(::LockResource(::LoadResource(module_, found))),
                           ::SizeofResource(module_, found));
    }
    HMODULE module_ = nullptr;
};

TEST_F(Module, EveryIconImageIsTheFilesByteForByte) {
    const auto ico = ReadAll(gIcon);
    ASSERT_GE(ico.size(), 6u);
    const unsigned count = LittleEndian::Load16(ico, 4);
    const std::string group = Bytes("MAINICON", RT_GROUP_ICON);
    ASSERT_EQ(group.size(), 6u + 14 * count);
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t* e = &ico[6 + 16 * i];
        const DWORD size = LittleEndian::Load32(e + 8), offset = LittleEndian::Load32(e + 12);
        const auto* g = reinterpret_cast<const std::uint8_t*>(group.data()) + 6 + 14 * i;
        EXPECT_EQ(g[0], e[0]) << "width of image " << i;
        const WORD id = LittleEndian::Load16(g + 12);
        const std::string image = Bytes(MAKEINTRESOURCEA(id), RT_ICON);
        ASSERT_EQ(image.size(), size) << "image " << i;
        EXPECT_TRUE(std::equal(image.begin(), image.end(), ico.begin() + offset,
                               [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            << "image " << i;
    }
}

TEST_F(Module, LoadImageFindsEachSize) {
    for (int size : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(::LoadImageA(module_, "MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP bitmap{};
        ::GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
        ::DestroyIcon(icon);
    }
}

TEST_F(Module, TheManifestStays) {
    const std::string manifest = Bytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Setup.exe\""), std::string::npos);
}

TEST(StubResources, ImageChecksumIsRight) {
    DWORD stored = 0, computed = 0;
    ASSERT_EQ(::MapFileAndCheckSumA(gExe.c_str(), &stored, &computed), DWORD(CHECKSUM_SUCCESS));
    EXPECT_NE(stored, 0u);
    EXPECT_EQ(stored, computed);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: stub_resources_tests PACKAGE_EXE ICON_FILE FIXED_VERSION [NAME=TEXT...]\n");
        return 2;
    }
    gExe = WindowsPath(argv[1]);
    gIcon = WindowsPath(argv[2]);
    gFixed = argv[3];
    for (int i = 4; i < argc; ++i) {
        const std::string pair = argv[i];
        const std::size_t eq = pair.find('=');
        gStrings.emplace_back(pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1));
    }
    return RUN_ALL_TESTS();
}
