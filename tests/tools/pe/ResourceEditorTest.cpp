#include "tools/pe/ResourceEditor.h"

#include <gtest/gtest.h>

#include "package/PeImage.h"
#include "tests/tools/pe/PeTestImage.h"

using namespace ResourceEditor;

namespace {

std::vector<TResource> StubResources() {
    return {
        {TName::Number(24), TName::Number(1), 0x409, 0, TextBytes("<assembly/>")},
        {TName::Number(3), TName::Number(1), 0x409, 0, PatternBytes(744, 3)},
        {TName::Number(kGroupIconType), TName::Named(u"MAINICON"), 0x409, 0, PatternBytes(20, 4)},
        {TName::Number(2), TName::Named(u"SIDEPICTURE"), 0x409, 0, PatternBytes(301, 5)},
        {TName::Number(2), TName::Named(u"HEADERPICTURE"), 0x409, 0, PatternBytes(77, 6)},
    };
}

std::string Describe(const TResource& r) {
    auto name = [](const TName& n) { return n.IsNamed() ? std::string(n.Text.begin(), n.Text.end()) : std::to_string(n.Id); };
    return name(r.Type) + "/" + name(r.Name) + "/" + std::to_string(r.Language) + ":" + std::to_string(r.Data.size());
}

std::vector<std::string> Described(const std::vector<TResource>& list) {
    std::vector<std::string> out;
    for (const TResource& r : list) out.push_back(Describe(r));
    return out;
}

// A tree written by hand: type "TXT" (a name), id 7, language 0x407, four bytes.
TEST(ResourceSection, ReadsAHandWrittenTree) {
    Bytes s(0x80, 0);
    const std::uint32_t rva = 0x5000;
    auto table = [&](std::size_t at, std::uint16_t named, std::uint16_t ids, std::uint32_t key, std::uint32_t target) {
        s[at + 12] = std::uint8_t(named);
        s[at + 14] = std::uint8_t(ids);
        Store32(s, at + 16, key);
        Store32(s, at + 20, target);
    };
    table(0x00, 1, 0, 0x80000060, 0x80000018);
    table(0x18, 0, 1, 7, 0x80000030);
    table(0x30, 0, 1, 0x407, 0x48);
    Store32(s, 0x48, rva + 0x70);
    Store32(s, 0x4C, 4);
    Store32(s, 0x50, 1252);
    s[0x60] = 3;
    s[0x62] = 'T', s[0x64] = 'X', s[0x66] = 'T';
    s[0x70] = 'a', s[0x71] = 'b', s[0x72] = 'c', s[0x73] = 'd';
    const auto list = ReadResourceSection(s, 0, rva);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Type, TName::Named(u"TXT"));
    EXPECT_EQ(list[0].Name, TName::Number(7));
    EXPECT_EQ(list[0].Language, 0x407);
    EXPECT_EQ(list[0].CodePage, 1252u);
    EXPECT_EQ(list[0].Data, TextBytes("abcd"));

    Bytes outside = s;
    Store32(outside, 0x4C, 0x40);  // data past the section's end
    EXPECT_THROW(ReadResourceSection(outside, 0, rva), ELayoutError);
    Bytes shallow = s;
    Store32(shallow, 0x2C, 0x48);  // a name that holds data instead of languages
    EXPECT_THROW(ReadResourceSection(shallow, 0, rva), ELayoutError);
    Bytes looping = s;
    Store32(looping, 0x44, 0x80000000);  // a language that points back at the root
    EXPECT_THROW(ReadResourceSection(looping, 0, rva), ELayoutError);
}

TEST(ResourceSection, WritesInDirectoryOrderAndReadsBackWhatItWrote) {
    const auto section = WriteResourceSection(StubResources(), 0x3000);
    const auto back = ReadResourceSection(section, 0, 0x3000);
    // Types by number; within a type names before numbers, names in order.
    EXPECT_EQ(Described(back), (std::vector<std::string>{"2/HEADERPICTURE/1033:77", "2/SIDEPICTURE/1033:301",
                                                         "3/1/1033:744", "14/MAINICON/1033:20", "24/1/1033:11"}));
    const auto given = StubResources();
    for (const TResource& r : back) {
        const auto same = std::find_if(given.begin(), given.end(),
                                       [&](const TResource& g) { return g.Type == r.Type && g.Name == r.Name; });
        ASSERT_NE(same, given.end());
        EXPECT_EQ(r.Data, same->Data) << Describe(r);
    }
    auto twice = StubResources();
    twice.push_back(twice.front());
    EXPECT_THROW(WriteResourceSection(twice, 0x3000), ELayoutError);
}

class ResourceImageTest : public ::testing::Test {
protected:
    static PeImage::Layout LayoutOf(const Bytes& image) {
        MemorySource source(image);
        auto layout = PeImage::ReadLayout(source);
        EXPECT_TRUE(layout);
        return layout.value_or(PeImage::Layout{});
    }
    static std::uint32_t StoredChecksum(const Bytes& image) { return Load32(image, TPeTestImage::OptionalOffset + 64); }
    static std::uint32_t ComputedChecksum(const Bytes& image) {
        MemorySource source(image);
        return PeImage::Checksum(source, TPeTestImage::OptionalOffset + 64);
    }
};

TEST_F(ResourceImageTest, GrowingTheResourcesMovesTheRelocationsAndKeepsTheHeadersTrue) {
    const Bytes overlay = TextBytes("an older package's bytes");
    TResourceImage image(SmallPeImage(StubResources(), overlay));
    EXPECT_EQ(Described(image.Resources).size(), 5u);
    image.Resources.push_back({TName::Number(kVersionType), TName::Number(1), 0x409, 0, PatternBytes(9000, 7)});
    const Bytes out = image.Rebuild();

    const PeImage::Layout layout = LayoutOf(out);
    ASSERT_EQ(layout.sections.size(), 3u);
    const PeImage::Section &rsrc = layout.sections[1], &reloc = layout.sections[2];
    EXPECT_GE(rsrc.virtualSize, 9000u);
    EXPECT_EQ(rsrc.rawSize % 0x200, 0u);
    EXPECT_GE(rsrc.rawSize, rsrc.virtualSize);
    EXPECT_EQ(reloc.rawOffset, rsrc.rawOffset + rsrc.rawSize);
    EXPECT_EQ(reloc.virtualAddress % 0x1000, 0u);
    EXPECT_GE(reloc.virtualAddress, rsrc.virtualAddress + rsrc.virtualSize);
    EXPECT_EQ(layout.sizeOfImage, reloc.virtualAddress + 0x1000);
    MemorySource source(out);
    const auto relocDir = PeImage::ReadDirectory(source, layout, 5);
    EXPECT_EQ(relocDir.address, reloc.virtualAddress);
    const Bytes relocations = TPeTestImage::Relocations();
    EXPECT_TRUE(std::equal(relocations.begin(), relocations.end(), out.begin() + reloc.rawOffset));
    const auto rsrcDir = PeImage::ReadDirectory(source, layout, PeImage::ResourceDirectory);
    EXPECT_EQ(rsrcDir.address, rsrc.virtualAddress);
    EXPECT_EQ(rsrcDir.size, rsrc.virtualSize);
    EXPECT_EQ(Load32(out, TPeTestImage::OptionalOffset + 8), rsrc.rawSize + reloc.rawSize);
    EXPECT_TRUE(std::equal(overlay.begin(), overlay.end(), out.end() - overlay.size()));
    EXPECT_EQ(out.size(), reloc.rawOffset + reloc.rawSize + overlay.size());
    EXPECT_EQ(StoredChecksum(out), ComputedChecksum(out));

    // Read again, the image holds the new list; written again, the same bytes.
    TResourceImage again(out);
    const auto listed = Described(again.Resources);
    EXPECT_EQ(listed.size(), 6u);
    EXPECT_NE(std::find(listed.begin(), listed.end(), "16/1/1033:9000"), listed.end());
    EXPECT_EQ(again.Rebuild(), out);
}

TEST_F(ResourceImageTest, RefusesLayoutsItWouldBreak) {
    const Bytes good = SmallPeImage(StubResources());
    const std::size_t relocHeader = TPeTestImage::SectionTable + 2 * 40;
    Bytes notReloc = good;  // a section after the resources that is not the relocations
    Store32(notReloc, TPeTestImage::OptionalOffset + 96 + 5 * 8, 0);
    Bytes signedImage = good;
    Store32(signedImage, TPeTestImage::OptionalOffset + 96 + 4 * 8, static_cast<std::uint32_t>(good.size()));
    Store32(signedImage, TPeTestImage::OptionalOffset + 96 + 4 * 8 + 4, 8);
    Bytes pointsIn = good;  // the import directory inside the resource section
    Store32(pointsIn, TPeTestImage::OptionalOffset + 96 + 8, TPeTestImage::ResourceRva + 4);
    Store32(pointsIn, TPeTestImage::OptionalOffset + 96 + 8 + 4, 20);
    Bytes cut = good;
    cut.resize(Load32(good, relocHeader + 20) + 4);
    Bytes pe64 = good;
    pe64[TPeTestImage::OptionalOffset + 1] = 0x02;
    // A section before the resources, or the headers, reaching past the end
    // of the file: found by the fuzzer, Rebuild once failed with length_error.
    Bytes longText = good;
    Store32(longText, TPeTestImage::SectionTable + 16, 0x10000000);
    Bytes longHeaders = good;
    Store32(longHeaders, TPeTestImage::OptionalOffset + 60, static_cast<std::uint32_t>(good.size() + 1));
    for (const Bytes* bad : {&notReloc, &signedImage, &pointsIn, &cut, &pe64, &longText, &longHeaders})
        EXPECT_THROW(TResourceImage{*bad}, ELayoutError) << bad - &notReloc;
    // The resource section one byte past a multiple of the file alignment,
    // ending where it did: taken once, Rebuild aligned it and then refused
    // its own output (found by the fuzzer).
    Bytes unaligned = good;
    const std::size_t rsrcHeader = TPeTestImage::SectionTable + 40;
    Store32(unaligned, rsrcHeader + 20, Load32(good, rsrcHeader + 20) + 1);
    Store32(unaligned, rsrcHeader + 16, Load32(good, rsrcHeader + 16) - 1);
    // .text reaching into the resources: Rebuild cut it short (fuzzer).
    Bytes overlapping = good;
    const std::uint32_t textStart = Load32(good, TPeTestImage::SectionTable + 20);
    Store32(overlapping, TPeTestImage::SectionTable + 16, Load32(good, rsrcHeader + 20) + 0x200 - textStart);
    EXPECT_THROW(TResourceImage{overlapping}, ELayoutError);
    try {
        TResourceImage taken{unaligned};
        ADD_FAILURE() << "a resource section off the file alignment was taken";
    } catch (const ELayoutError& e) {
        EXPECT_NE(std::string(e.what()).find("multiple of the file alignment"), std::string::npos) << e.what();
    }
}

}  // namespace
