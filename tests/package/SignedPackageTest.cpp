// A signed setup executable installs only from the part its signature
// covers; one without a certificate table loads as before.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "package/CompressedReading.h"
#include "tests/package/CompressedPackage.h"
#include "package/PackageWriter.h"
#include "package/SignedPart.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"

using namespace RecordHead;

namespace {

using Bytes = std::vector<std::uint8_t>;

using LittleEndian::Store16;
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

// A certificate table of `size` bytes (at least 20) as a signer writes it:
// one WIN_CERTIFICATE entry whose PKCS#7 stand-in (a DER SEQUENCE) fills it
// but for `padding` zero bytes; sealed, the trailer ends the SEQUENCE.
Bytes CertificateTable(std::size_t size, const TPackHeader* sealed = nullptr, std::size_t padding = 0) {
    Bytes table(size, 0xC3);
    Store32(table, 0, static_cast<std::uint32_t>(size));
    table[4] = 0x00;  // revision 2.0, PKCS#7
    table[5] = 0x02;
    table[6] = 0x02;
    table[7] = 0x00;
    const std::size_t content = size - 8 - 4 - padding;
    table[8] = 0x30;
    table[9] = 0x82;
    table[10] = static_cast<std::uint8_t>(content >> 8);
    table[11] = static_cast<std::uint8_t>(content);
    std::fill(table.end() - static_cast<std::ptrdiff_t>(padding), table.end(), 0);
    if (sealed) std::memcpy(&table[size - padding - sizeof *sealed], sealed, sizeof *sealed);
    return table;
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
    const Bytes table = CertificateTable(layout.Blob, layout.Sealed ? &header : nullptr);
    result.Image.insert(result.Image.end(), table.begin(), table.end());
    Store32(result.Image, kCertificateEntry, static_cast<std::uint32_t>(result.SignedEnd));
    Store32(result.Image, kCertificateEntry + 4, static_cast<std::uint32_t>(table.size()));
    return result;
}

// The compressed form signed and sealed the same way.
TSigned SignedCompressed(TCompressedPackage& p) {
    TSigned result;
    const TPackHeader header = p.Trailer();
    result.Image = p.Image;
    result.TrailerCopy = result.Image.size() - sizeof header;
    result.SignedEnd = result.Image.size();
    const Bytes table = CertificateTable(1000, &header);
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
        const bool ok = pack.LoadPackage(source, kFullReading);
        if (loaded) *loaded = ok;
        return "";
    } catch (const Exception& e) {
        return std::string(e.TypeName()) + ": " + e.Message();
    }
}

const std::string kUnreadable = "ESignatureError: " + std::string(ErrorText::SignatureUnreadable);
const std::string kOutside = "ESignatureError: " + std::string(ErrorText::PackageOutsideSignature);

TEST(SignedPackage, SealedPackageLoadsFromTheSignedPart) {
    // Padding inside the entry's length, as some signers write it, is accounted for too.
    TSigned padded = SignedPackage();
    const Bytes table = CertificateTable(1000, &LastTrailer(padded.Image), 4);
    std::copy(table.begin(), table.end(), padded.Image.end() - 1000);
    EXPECT_EQ(LoadError(padded.Image), "ESignatureError: " + std::string(ErrorText::PackageNotSealed));
    for (const std::size_t zeros : {0u, 1u, 4u, 7u}) {
        TSigned s = SignedPackage({zeros, 1000, true});
        MemorySource source(s.Image);
        TVazuravAzoz pack;
        ASSERT_TRUE(pack.LoadPackage(source, kFullReading)) << zeros << " alignment bytes";
        EXPECT_EQ(pack.GetAppName(), "Signed App");
        EXPECT_EQ(pack.GetTotalSteps(), 2);
        const SignedPart::TReading reading = SignedPart::Read(source);
        ASSERT_TRUE(reading.Signature) << SignedPart::ProblemText(reading, s.Image.size());
        EXPECT_EQ(reading.Signature->TableOffset, s.SignedEnd);
        EXPECT_EQ(SignedPart::FindTrailer(source, *reading.Signature), s.TrailerCopy);
    }
}

TEST(SignedPackage, ForgedTrailerIsRefused) {
    TSigned renamed = SignedPackage();
    LastTrailer(renamed.Image).AppName.TrySet("Another App");
    EXPECT_EQ(LoadError(renamed.Image), kOutside);

    // Tables of the forger's own in the unauthenticated part, the trailer pointing at them.
    TSigned moved = SignedPackage({4, 3000, true});
    const std::uint32_t forged = static_cast<std::uint32_t>(moved.SignedEnd + 16);  // inside the signature's DER
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

TEST(SignedPackage, CompressedFormLoadsOnlyWithItsStreamRecordAndTablesFrameSigned) {
    TCompressedPackage p = MakeCompressedPackage(Stub());
    bool loaded = false;
    EXPECT_EQ(LoadError(SignedCompressed(p).Image, &loaded), "");
    EXPECT_TRUE(loaded);

    // The tables frame reaching into the signature, its record still signed.
    TCompressedPackage longer = MakeCompressedPackage(Stub());
    longer.Record().TablesSize.Set(longer.Record().TablesSize.Get() + sizeof(TPackHeader) + 16);
    EXPECT_EQ(LoadError(SignedCompressed(longer).Image), kOutside);

    // A forger's record and frame in the unauthenticated part, the trailer pointing at them.
    TCompressedPackage forged = MakeCompressedPackage(Stub());
    TSigned moved = SignedCompressed(forged);
    const std::uint32_t from = static_cast<std::uint32_t>(forged.RecordAt);
    const std::uint32_t to = static_cast<std::uint32_t>(moved.SignedEnd + 16);  // inside the signature's DER
    const std::size_t both = sizeof(CompressedForm::TStreamRecord) + forged.Record().TablesSize.Get();
    std::memcpy(&moved.Image[to], &moved.Image[from], both);
    TPackHeader& last = LastTrailer(moved.Image);
    const std::uint32_t shift = to - from;
    for (LEUInt32* offset : {&last.FileOffset, &last.DirOffset, &last.ShellOffset, &last.RegOffset})
        offset->Set(offset->Get() + shift);
    EXPECT_EQ(LoadError(moved.Image), kOutside);
}

// Each of these failed before: the package loaded, unsigned or as signed.
TEST(SignedPackage, HeadersReadTwoWaysAreRefused) {
    // The certificate entry where verifiers read it, in headers that declare
    // a shorter optional header or fewer entries: for them the file is
    // signed, for a reader of the declared entries it is not.
    for (const auto& [optionalSize, entries] : {std::pair{128, 16}, std::pair{224, 4}}) {
        TSigned s = SignedPackage();
        Store16(s.Image, 0x94, static_cast<std::uint16_t>(optionalSize));
        Store32(s.Image, kOptional + 92, static_cast<std::uint32_t>(entries));
        EXPECT_EQ(LoadError(s.Image), kUnreadable) << optionalSize << " bytes, " << entries << " entries";
        MemorySource source(s.Image);
        EXPECT_EQ(SignedPart::Read(source).Problem, SignedPart::TProblem::ReadTwoWays);
    }
}

TEST(SignedPackage, DataOverTheFieldsTheDigestSkipsIsRefused) {
    // File data over CheckSum, or over the certificate entry.
    for (const std::uint32_t at : {kOptional + 64 - 50, kCertificateEntry - 60, kCertificateEntry + 7})
        EXPECT_EQ(LoadError(SignedPackage({}, at).Image), kOutside) << "file data at " << at;
    // A table over CheckSum: the directory table moved into the headers.
    TSigned table = SignedPackage();
    TPackHeader& copy = *reinterpret_cast<TPackHeader*>(&table.Image[table.TrailerCopy]);
    copy.DirOffset.Set(kOptional);
    LastTrailer(table.Image) = copy;
    EXPECT_EQ(LoadError(table.Image), kOutside);
}

TEST(SignedPackage, ATableWithAnythingUnaccountedIsRefused) {
    TSigned good = SignedPackage();
    auto retable = [&](const Bytes& table) {
        Bytes image(good.Image.begin(), good.Image.begin() + static_cast<std::ptrdiff_t>(good.SignedEnd));
        image.insert(image.end(), table.begin(), table.end());
        Store32(image, kCertificateEntry + 4, static_cast<std::uint32_t>(table.size()));
        return image;
    };
    const Bytes sealed(good.Image.begin() + static_cast<std::ptrdiff_t>(good.SignedEnd), good.Image.end());
    // A second entry after the real one, the trailer ending it.
    Bytes twoEntries = CertificateTable(1000);
    const Bytes second = CertificateTable(1000, &LastTrailer(good.Image));
    twoEntries.insert(twoEntries.end(), second.begin(), second.end());
    EXPECT_EQ(LoadError(retable(twoEntries)), kUnreadable);
    // Bytes after the signature's DER that are not padding, inside or after the entry's length.
    Bytes tail = sealed;
    tail.insert(tail.end(), 8, 0);
    EXPECT_EQ(LoadError(retable(tail)), kUnreadable);
    Bytes dirty = CertificateTable(1000, nullptr, 5);
    dirty.back() = 1;
    EXPECT_EQ(LoadError(retable(dirty)), kUnreadable);
    // Bytes after the table, and a table past the end of the file.
    Bytes after = good.Image;
    after.insert(after.end(), 8, 0);
    EXPECT_EQ(LoadError(after), kUnreadable);
    Bytes past = good.Image;
    Store32(past, kCertificateEntry + 4, 0x7FFFFFFF);
    EXPECT_EQ(LoadError(past), kUnreadable);
    // An entry of another type, and one whose length runs past the table.
    Bytes other = sealed;
    other[6] = 1;
    EXPECT_EQ(LoadError(retable(other)), kUnreadable);
    Bytes longer = sealed;
    Store32(longer, 0, 1008);
    EXPECT_EQ(LoadError(retable(longer)), kUnreadable);
    EXPECT_EQ(LoadError(retable(sealed)), "");  // the same bytes, told right
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
    const Bytes table = CertificateTable(600);
    stub.insert(stub.end(), table.begin(), table.end());
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
}

}  // namespace
