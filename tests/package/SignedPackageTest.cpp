// A signed setup executable installs only from the part its signature
// covers; one without a certificate table loads as before.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "package/PackageWriter.h"
#include "package/SignedPart.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"

using namespace RecordHead;

namespace {

using Bytes = std::vector<std::uint8_t>;

using LittleEndian::Store32;

constexpr std::size_t kOptional = 0x98;                        // PE at 0x80, COFF header after it
constexpr std::size_t kCertificateEntry = kOptional + 96 + 4 * 8;

// PE32 headers with 16 directory entries and no sections.
Bytes Stub() {
    Bytes b(0x200, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Store32(b, 60, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    b[0x94] = 224;                 // optional header size
    b[kOptional] = 0x0B;           // PE32 magic 0x10B
    b[kOptional + 1] = 0x01;
    Store32(b, kOptional + 60, 0x200);
    Store32(b, kOptional + 92, 16);
    return b;
}

struct TSigned {
    Bytes Image;
    std::uint64_t SignedEnd = 0;
    std::uint64_t TrailerCopy = 0;
};

// A package built on the stub, one 100-byte file, then what a signer and the
// seal add: `zeros` alignment bytes, a certificate table of `blob` bytes and,
// sealed, the trailer again at the very end.
struct TLayout {
    std::size_t Zeros = 4;
    std::size_t Blob = 1000;
    bool Sealed = true;
};

TSigned SignedPackage(const TLayout& layout = {}, std::uint32_t fileOffset = 0) {
    Bytes image = Stub();
    MemorySink sink;
    sink.Write(image.data(), image.size());
    PackageWriter writer(sink, image.size());
    const Bytes data(100, 0x5A);
    const std::uint32_t at = writer.AppendData(data.data(), data.size());
    PackageTables tables;
    tables.Files.push_back(MakeFileItem("app.exe", "InstallDir", "", fileOffset ? fileOffset : at, 100));
    tables.Dirs.push_back(MakeDirItem("InstallDir", ""));
    const TPackHeader header = writer.Finish(MakeHeader("Signed App", "Ann"), tables.View());
    TSigned result;
    result.Image = sink.Bytes();
    result.TrailerCopy = result.Image.size() - sizeof header;
    result.Image.resize(result.Image.size() + layout.Zeros, 0);
    result.SignedEnd = result.Image.size();
    Bytes table(layout.Blob, 0xC3);  // stands for the WIN_CERTIFICATE entries
    if (layout.Sealed) std::memcpy(&table[table.size() - sizeof header], &header, sizeof header);
    result.Image.insert(result.Image.end(), table.begin(), table.end());
    Store32(result.Image, kCertificateEntry, static_cast<std::uint32_t>(result.SignedEnd));
    Store32(result.Image, kCertificateEntry + 4, static_cast<std::uint32_t>(table.size()));
    return result;
}

TPackHeader& LastTrailer(Bytes& image) {
    return *reinterpret_cast<TPackHeader*>(&image[image.size() - sizeof(TPackHeader)]);
}

// What LoadPackage raises, or "" when it loads.
std::string LoadError(const Bytes& image, bool* loaded = nullptr) {
    MemorySource source(image);
    TVazuravAzoz pack;
    try {
        const bool ok = pack.LoadPackage(source);
        if (loaded) *loaded = ok;
        return "";
    } catch (const Exception& e) {
        return std::string(e.TypeName()) + ": " + e.Message();
    }
}

const std::string kOutside = "ESignatureError: " + std::string(ErrorText::PackageOutsideSignature);

TEST(SignedPackage, SealedPackageLoadsFromTheSignedPart) {
    for (const std::size_t zeros : {0u, 1u, 4u, 7u}) {
        TSigned s = SignedPackage({zeros, 1000, true});
        MemorySource source(s.Image);
        TVazuravAzoz pack;
        ASSERT_TRUE(pack.LoadPackage(source)) << zeros << " alignment bytes";
        EXPECT_EQ(pack.GetAppName(), "Signed App");
        EXPECT_EQ(pack.GetTotalSteps(), 2);
        EXPECT_EQ(SignedPart::End(source), s.SignedEnd);
        EXPECT_EQ(SignedPart::FindTrailer(source, s.SignedEnd), s.TrailerCopy);
    }
}

TEST(SignedPackage, ForgedTrailerIsRefused) {
    TSigned renamed = SignedPackage();
    LastTrailer(renamed.Image).AppName.TrySet("Another App");
    EXPECT_EQ(LoadError(renamed.Image), kOutside);

    // Tables of the forger's own in the unauthenticated part, the trailer pointing at them.
    TSigned moved = SignedPackage({4, 3000, true});
    const std::uint32_t forged = static_cast<std::uint32_t>(moved.SignedEnd + 8);
    std::memcpy(&moved.Image[forged], &moved.Image[LastTrailer(moved.Image).FileOffset.Get()], sizeof(TFileItem));
    LastTrailer(moved.Image).FileOffset.Set(forged);
    EXPECT_EQ(LoadError(moved.Image), kOutside);
}

TEST(SignedPackage, TablesAndFileDataMustEndBeforeTheSignature) {
    // The signed trailer and the end agree, but the file's data lies in the signature.
    TSigned data = SignedPackage({4, 1000, true}, 0);
    const std::uint32_t inside = static_cast<std::uint32_t>(data.SignedEnd + 16);
    data = SignedPackage({4, 1000, true}, inside);
    EXPECT_EQ(LoadError(data.Image), kOutside);

    // A table that starts inside and reaches past the start of the signature.
    TSigned table = SignedPackage({0, 1000, true});
    TPackHeader& copy = *reinterpret_cast<TPackHeader*>(&table.Image[table.TrailerCopy]);
    copy.DirCount.Set(3);  // the third record would reach into the signature
    LastTrailer(table.Image) = copy;
    EXPECT_EQ(LoadError(table.Image), kOutside);

    // A negative count is still the range error it always was.
    copy.DirCount.Set(-1);
    LastTrailer(table.Image) = copy;
    EXPECT_EQ(LoadError(table.Image), "ERangeError: Range check error");
}

TEST(SignedPackage, SignedButNotSealedSaysSo) {
    const TSigned s = SignedPackage({4, 1000, false});
    EXPECT_EQ(LoadError(s.Image), "ESignatureError: " + std::string(ErrorText::PackageNotSealed));
}

TEST(SignedPackage, AlignmentBytesMustBeZeros) {
    TSigned s = SignedPackage({4, 1000, true});
    s.Image[s.SignedEnd - 1] = 1;  // no longer padding: the copy does not end the signed part
    EXPECT_EQ(LoadError(s.Image), kOutside);
}

TEST(SignedPackage, WithoutASignatureNothingChanges) {
    // A signed stub with nothing appended still ends silently.
    Bytes stub = Stub();
    stub.resize(stub.size() + 600, 0x11);
    Store32(stub, kCertificateEntry, 0x200);
    Store32(stub, kCertificateEntry + 4, 600);
    bool loaded = true;
    EXPECT_EQ(LoadError(stub, &loaded), "");
    EXPECT_FALSE(loaded);

    // No certificate table: the tables may lie anywhere in the file, as before.
    TSigned s = SignedPackage();
    Store32(s.Image, kCertificateEntry, 0);
    Store32(s.Image, kCertificateEntry + 4, 0);
    LastTrailer(s.Image).AppName.TrySet("Changed");
    EXPECT_EQ(LoadError(s.Image, &loaded), "");
    EXPECT_TRUE(loaded);

    // A certificate entry that points past the end of the file is no signature.
    TSigned bogus = SignedPackage();
    Store32(bogus.Image, kCertificateEntry + 4, 0x7FFFFFFF);
    LastTrailer(bogus.Image).AppName.TrySet("Changed");
    EXPECT_EQ(LoadError(bogus.Image, &loaded), "");
    EXPECT_TRUE(loaded);
}

}  // namespace
