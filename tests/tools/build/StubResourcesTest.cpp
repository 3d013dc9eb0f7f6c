#include "package/CompressedReading.h"
#include "tools/build/StubResources.h"

#include <gtest/gtest.h>

#include <map>

#include "package/PeImage.h"
#include "package/PackageReader.h"
#include "system/FileStream.h"
#include "tests/tools/ToolTestFiles.h"
#include "tests/tools/pe/PeTestImage.h"
#include "tools/build/PackageBuild.h"
#include "tools/examine/PackageListing.h"
#include "tools/platform/Crc32.h"

using namespace ResourceEditor;

namespace {

// The stub's resources: a manifest, MAINICON with its one image, a picture.
std::vector<TResource> StubResourceList() {
    return {{TName::Number(24), TName::Number(1), 0x409, 0, TextBytes("<assembly>manifest</assembly>")},
            {TName::Number(kIconType), TName::Number(1), 0x409, 0, PatternBytes(2216, 8)},
            {TName::Number(kGroupIconType), TName::Named(u"MAINICON"), 0x409, 0,
             {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 8, 0, 0xA8, 0x08, 0, 0, 1, 0}},
            {TName::Number(2), TName::Named(u"SIDEPICTURE"), 0x409, 0, PatternBytes(301, 9)}};
}

// An icon file of a 16 x 16 bitmap and a 256 x 256 PNG.
Bytes TwoImageIcon(Bytes& small, Bytes& large) {
    small = Bytes(40 + 16 * 16 * 4 + 16 * 4, 0x11);
    std::fill(small.begin(), small.begin() + 40, 0);
    Store32(small, 0, 40);
    Store32(small, 4, 16);
    Store32(small, 8, 32);
    small[12] = 1;
    small[14] = 32;
    large = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0, 1, 0, 8, 6, 0, 0, 0};
    const Bytes rest = PatternBytes(3000, 10);
    large.insert(large.end(), rest.begin(), rest.end());
    Bytes ico = {0, 0, 1, 0, 2, 0};
    const std::uint32_t first = 6 + 2 * 16;
    for (const auto& [size, image, offset] :
         {std::tuple{16, &small, first}, std::tuple{0, &large, first + std::uint32_t(small.size())}}) {
        const std::size_t at = ico.size();
        ico.resize(at + 16, 0);
        ico[at] = ico[at + 1] = std::uint8_t(size);
        ico[at + 4] = 1;
        ico[at + 6] = 32;
        Store32(ico, at + 8, static_cast<std::uint32_t>(image->size()));
        Store32(ico, at + 12, offset);
    }
    ico.insert(ico.end(), small.begin(), small.end());
    ico.insert(ico.end(), large.begin(), large.end());
    return ico;
}

// The UTF-16 strings of the version resource, found by their names.
std::map<std::string, std::string> VersionStrings(const Bytes& resource) {
    std::map<std::string, std::string> found;
    auto wide = [](const std::string& s) {
        Bytes b;
        for (char c : s) b.insert(b.end(), {std::uint8_t(c), 0});
        b.insert(b.end(), {0, 0});
        return b;
    };
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "ProductName",
                             "ProductVersion"}) {
        const Bytes key = wide(name);
        auto at = std::search(resource.begin(), resource.end(), key.begin(), key.end());
        if (at == resource.end()) continue;
        std::size_t p = (static_cast<std::size_t>(at - resource.begin()) + key.size() + 3) / 4 * 4;
        std::string text;
        for (; Load16(resource, p) != 0; p += 2) text += static_cast<char>(Load16(resource, p));
        found[name] = text;
    }
    return found;
}

// The data of the resource of that type and name; empty when there is none.
const Bytes& Find(const TResourceImage& image, std::uint16_t type, const TName& name) {
    static const Bytes none;
    for (const TResource& r : image.Resources)
        if (r.Type == TName::Number(type) && r.Name == name) return r.Data;
    return none;
}

class StubResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        pkg.Put("stub.exe", SmallPeImage(StubResourceList()));
        pkg.Put("bin/Uninstall.exe", PatternBytes(5000, 2));
        pkg.Put("app.ico", TwoImageIcon(small, large));
    }
    TPackagePlan ReadWith(const std::string& packageKeys, TDiagnostics& diagnostics) {
        pkg.Describe("[package]\nname = \"Demo\"\nauthor = \"Ann Author\"\n" + packageKeys +
                     "\n[[file]]\nsource = \"bin/Uninstall.exe\"\n");
        return pkg.Read(diagnostics);
    }
    std::string Out() const { return pkg.Dir().File("out.exe"); }

    TDescribedPackage pkg;
    Bytes small, large;
};

TEST_F(StubResourcesTest, TheCopyCarriesTheIconAndVersionAndStaysAWholePackage) {
    TDiagnostics diagnostics;
    const TPackagePlan plan = ReadWith("icon = \"app.ico\"\nversion = \"4.2.17\"\ncopyright = \"(c) 2026 Ann\"", diagnostics);
    ASSERT_FALSE(diagnostics.HasErrors()) << ErrorsOf(diagnostics);
    EXPECT_EQ(plan.StubSize, plan.StubImage.size());
    WritePackage(plan, Out());
    const Bytes out = ReadFileBytes(Out());

    // Resources: the icon's images byte for byte, the group naming them, the rest kept.
    TResourceImage image(out);
    EXPECT_EQ(image.Resources.size(), 6u);  // manifest, two images, group, picture, version
    const Bytes& group = Find(image, kGroupIconType, TName::Named(u"MAINICON"));
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(Find(image, kIconType, TName::Number(Load16(group, 6 + 12))), small);
    EXPECT_EQ(Find(image, kIconType, TName::Number(Load16(group, 20 + 12))), large);
    EXPECT_EQ(Find(image, 24, TName::Number(1)), TextBytes("<assembly>manifest</assembly>"));
    EXPECT_EQ(VersionStrings(Find(image, kVersionType, TName::Number(1))),
              (std::map<std::string, std::string>{{"CompanyName", "Ann Author"}, {"FileDescription", "Demo Setup"},
                                                  {"FileVersion", "4.2.17"}, {"LegalCopyright", "(c) 2026 Ann"},
                                                  {"ProductName", "Demo"}, {"ProductVersion", "4.2.17"}}));

    // The image checksum covers the whole file, payload included; the package is whole.
    MemorySource source(out);
    const std::uint32_t field = TPeTestImage::OptionalOffset + 64;
    EXPECT_EQ(Load32(out, field), PeImage::Checksum(source, field));
    TFileStream file = TFileStream::OpenRead(Out());
    const TVerifyReport report = VerifyPackage(file);
    EXPECT_TRUE(report.Ok()) << report.Problems.front();
    const std::optional<TPackageContents> packageRead = ReadPackageFile(Out(), kFullReading);
    ASSERT_TRUE(packageRead);
    const TPackageContents& package = *packageRead;
    const Bytes uninstaller = PatternBytes(5000, 2);
    EXPECT_TRUE(std::equal(uninstaller.begin(), uninstaller.end(), out.begin() + package.Tables.Files[0].Offset.Get()));

    // Same inputs, same bytes.
    WritePackage(plan, pkg.Dir().File("again.exe"));
    EXPECT_EQ(ReadFileBytes(pkg.Dir().File("again.exe")), out);
}

TEST_F(StubResourcesTest, VerifyNamesAChangedImageChecksumAndAcceptsOlderPackages) {
    TDiagnostics diagnostics;
    WritePackage(ReadWith("", diagnostics), Out());
    Bytes out = ReadFileBytes(Out());
    const std::uint32_t field = TPeTestImage::OptionalOffset + 64;
    Store32(out, field, Load32(out, field) + 1);
    MemorySource changed(out);
    const TVerifyReport report = VerifyPackage(changed);
    ASSERT_EQ(report.Problems.size(), 1u);
    EXPECT_NE(report.Problems[0].find("PE checksum mismatch"), std::string::npos) << report.Problems[0];

    // Built before the image checksum was set: the stub's own field, counted in the CRC.
    const Bytes old = PackageBuilder().App("Old").Stub(SmallPeImage(StubResourceList())).Build();
    Bytes withCrc = old;
    TCrc32 crc;
    crc.Update(withCrc.data(), withCrc.size());
    Store32(withCrc, withCrc.size() - 552 + 516, crc.Value());
    MemorySource older(withCrc);
    const TVerifyReport olderReport = VerifyPackage(older);
    EXPECT_TRUE(olderReport.Ok()) << olderReport.Problems.front();
}

TEST_F(StubResourcesTest, WithoutVersionTheResourceStillNamesProductAndCompany) {
    TDiagnostics diagnostics;
    const TPackagePlan plan = ReadWith("", diagnostics);
    ASSERT_FALSE(diagnostics.HasErrors()) << ErrorsOf(diagnostics);
    TResourceImage image(plan.StubImage);
    const auto version = std::find_if(image.Resources.begin(), image.Resources.end(),
                                      [](const TResource& r) { return r.Type == TName::Number(kVersionType); });
    ASSERT_NE(version, image.Resources.end());
    EXPECT_EQ(VersionStrings(version->Data),
              (std::map<std::string, std::string>{{"CompanyName", "Ann Author"}, {"FileDescription", "Demo Setup"},
                                                  {"ProductName", "Demo"}}));
    // The stub's own icon stays.
    EXPECT_EQ(std::count_if(image.Resources.begin(), image.Resources.end(),
                            [](const TResource& r) { return r.Type == TName::Number(kIconType); }),
              1);
}

TEST_F(StubResourcesTest, BadIconsVersionsAndTextsAreRefusedAtTheirLines) {
    pkg.Put("broken.ico", TextBytes("GIF89a not an icon"));
    struct TCase {
        std::string Keys;
        unsigned Line;
        std::string Part;
    };
    for (const TCase& c : std::vector<TCase>{
             {"version = \"1.x\"", 4, "version \"1.x\" is not one to four numbers"},
             {"version = \"1.2.3.4.5\"", 4, "more than four numbers"},
             {"email = \"a@b\"\nicon = \"broken.ico\"", 5, "icon \"" + pkg.Dir().File("broken.ico") + "\" is not a valid icon file"},
             {"icon = \"none.ico\"", 4, "not found"},
             {"copyright = \"\u03a9 Ann\"", 4, "copyright \"\u03a9 Ann\" contains U+03A9"},
         }) {
        TDiagnostics diagnostics;
        ReadWith(c.Keys, diagnostics);
        EXPECT_TRUE(Reports(diagnostics, true, c.Line, c.Part)) << c.Keys << "\n" << ErrorsOf(diagnostics);
    }
}

// The version resource is UTF-16 whatever the package's code page; its texts
// must exist in that code page, not in Windows-1252.
TEST_F(StubResourcesTest, TextsAreCheckedInThePackagesCodePageAndWrittenAsUtf16) {
    TDiagnostics diagnostics;
    const TPackagePlan plan = ReadWith("codepage = 932\ncopyright = \"\u8457\u4f5c \u5c71\u7530\"", diagnostics);
    ASSERT_FALSE(diagnostics.HasErrors()) << ErrorsOf(diagnostics);
    TResourceImage image(plan.StubImage);
    const Bytes& version = Find(image, kVersionType, TName::Number(1));
    const Bytes utf16 = {0x57, 0x84, 0x5C, 0x4F, 0x20, 0x00, 0x71, 0x5C, 0x30, 0x75, 0, 0};  // 著作 山田
    EXPECT_NE(std::search(version.begin(), version.end(), utf16.begin(), utf16.end()), version.end());

    TDiagnostics lacking;
    ReadWith("codepage = 932\ncopyright = \"\u00e9\"", lacking);
    EXPECT_TRUE(Reports(lacking, true, 5, "contains U+00E9, which the package's code page (Windows-932)")) << ErrorsOf(lacking);
}

TEST_F(StubResourcesTest, AStubThatCannotTakeResourcesIsAnErrorOnlyWhenTheyAreAskedFor) {
    Bytes image = SmallPeImage(StubResourceList());
    Store32(image, TPeTestImage::OptionalOffset + 96 + 5 * 8, 0);  // .reloc no longer the relocations
    pkg.Put("stub.exe", image);
    TDiagnostics asked;
    ReadWith("version = \"1.0\"", asked);
    EXPECT_TRUE(Reports(asked, true, 4, "cannot take resources: sections other than the base relocations")) << ErrorsOf(asked);

    TDiagnostics plain;
    const TPackagePlan plan = ReadWith("", plain);
    EXPECT_FALSE(plain.HasErrors()) << ErrorsOf(plain);
    EXPECT_TRUE(Reports(plain, false, 0, "copied without a version resource")) << ErrorsOf(plain);
    EXPECT_EQ(plan.StubImage, image);

    pkg.Put("stub.exe", TextBytes("MZ not a program"));
    TDiagnostics notPe;
    ReadWith("icon = \"app.ico\"", notPe);
    EXPECT_TRUE(Reports(notPe, true, 4, "not a 32-bit Windows executable")) << ErrorsOf(notPe);
}

TEST_F(StubResourcesTest, TheIconOptionWinsOverTheKey) {
    pkg.Put("broken.ico", TextBytes("not an icon"));
    pkg.Options.Icon = pkg.Dir().File("app.ico");
    TDiagnostics diagnostics;
    const TPackagePlan plan = ReadWith("icon = \"broken.ico\"", diagnostics);
    ASSERT_FALSE(diagnostics.HasErrors()) << ErrorsOf(diagnostics);
    TResourceImage image(plan.StubImage);
    EXPECT_EQ(std::count_if(image.Resources.begin(), image.Resources.end(),
                            [](const TResource& r) { return r.Type == TName::Number(kIconType); }),
              2);
}

}  // namespace
