// verify reads a signed file's certificate table where its verifiers read
// it, and refuses a package whose bytes the signature does not cover.
#include <gtest/gtest.h>

#include <cstring>

#include "package/PackageWriter.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/pe/PeTestImage.h"
#include "tools/examine/PackageListing.h"

using namespace RecordHead;

namespace {

using T = TPeTestImage;
constexpr std::uint32_t kEntry = T::OptionalOffset + 96 + 4 * 8;  // the certificate entry's fixed place

// A package built on a small PE image, then what a signer and sealing add:
// zeros to the next 8 bytes, one WIN_CERTIFICATE entry (a stand-in DER
// SEQUENCE, ending in the trailer's copy) and the entry pointing at it.
struct TSignedSample {
    Bytes Image;
    std::uint32_t TableOffset = 0;
};

TSignedSample Signed(Bytes package, std::uint32_t entryAt = kEntry) {
    TPackHeader trailer;
    std::memcpy(&trailer, package.data() + package.size() - sizeof trailer, sizeof trailer);
    package.resize((package.size() + 7) / 8 * 8, 0);
    TSignedSample s;
    s.TableOffset = static_cast<std::uint32_t>(package.size());
    constexpr std::size_t kTable = 1000;
    Bytes table(kTable, 0xC3);
    Store32(table, 0, kTable);
    Store16(table, 4, 0x0200);
    Store16(table, 6, 0x0002);
    table[8] = 0x30;
    table[9] = 0x82;
    table[10] = (kTable - 12) >> 8;
    table[11] = (kTable - 12) & 0xFF;
    std::memcpy(&table[kTable - sizeof trailer], &trailer, sizeof trailer);
    package.insert(package.end(), table.begin(), table.end());
    Store32(package, entryAt, s.TableOffset);
    Store32(package, entryAt + 4, kTable);
    s.Image = std::move(package);
    return s;
}

Bytes Package(const Bytes& stub) {
    return PackageBuilder()
        .App("Signed")
        .Stub(stub)
        .File("app.exe", "InstallDir", "", PatternBytes(300, 3))
        .Dir("InstallDir", "")
        .Build();
}

std::string Problems(const Bytes& image, bool* ok = nullptr) {
    MemorySource source(image);
    const TVerifyReport report = VerifyPackage(source);
    if (ok) *ok = report.Ok();
    std::string text;
    for (const std::string& p : report.Problems) text += p + "\n";
    return text;
}

TEST(VerifySignature, HeadersReadTwoWaysAreRefused) {
    // The optional header declared 128 bytes long, the section table moved
    // up: the headers declare no certificate entry, but the verifiers read
    // one at its fixed place, over the first section's name.
    Bytes stub = SmallPeImage({});
    const std::uint32_t shortened = T::OptionalOffset + 128;
    std::memmove(&stub[shortened], &stub[T::SectionTable], 3 * 40);
    std::memset(&stub[shortened + 3 * 40], 0, T::SectionTable - shortened);
    Store16(stub, T::PeOffset + 20, 128);
    const TSignedSample s = Signed(Package(stub), shortened);
    ASSERT_EQ(shortened, kEntry);
    bool ok = true;
    const std::string problems = Problems(s.Image, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(problems.find("can be read two ways"), std::string::npos) << problems;
}

TEST(VerifySignature, PackageOverFieldsTheDigestLeavesOutIsRefused) {
    // File 0's data moved to the start of the file, over CheckSum and the
    // certificate entry: both can change after signing.
    Bytes package = Package(SmallPeImage({}));
    TPackHeader trailer;
    std::memcpy(&trailer, package.data() + package.size() - sizeof trailer, sizeof trailer);
    TFileItem item;
    std::memcpy(&item, &package[trailer.FileOffset.Get()], sizeof item);
    item.Offset.Set(0);
    std::memcpy(&package[trailer.FileOffset.Get()], &item, sizeof item);
    const std::string problems = Problems(Signed(package).Image);
    EXPECT_NE(problems.find("file 0's data at offset 0 covers a header field the signature leaves out"),
              std::string::npos)
        << problems;

    // The same file data where it belongs: no such problem.
    EXPECT_EQ(Problems(Signed(Package(SmallPeImage({}))).Image).find("header field"), std::string::npos);
}

}  // namespace
