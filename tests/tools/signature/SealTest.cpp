// DER lengths, and the sealed signature entry: aligned, ending in the
// trailer, every length consistent, an earlier seal replaced.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "package/PackageWriter.h"
#include "system/LittleEndian.h"
#include "tools/signature/Authenticode.h"
#include "tools/signature/Der.h"
#include "tools/signature/Seal.h"

using Der::Bytes;

namespace {

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) Append(out, p);
    return out;
}

const Bytes kSignedDataOid = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};

// A SignedData shaped like a signer's: version, algorithms, content,
// certificates, one SignerInfo with `signatureSize` bytes of signature and
// the given unsigned attributes (none when empty).
Bytes Pkcs7(std::size_t signatureSize, const Bytes& unsignedAttributes = {}) {
    const Bytes version = Der::Wrap(Der::Integer, Bytes{1});
    Bytes signer = Cat({version, Der::Wrap(Der::Sequence, Bytes{}), Der::Wrap(Der::Sequence, Bytes{}),
                        Der::Wrap(Der::Context(0), Bytes(40, 0x31)), Der::Wrap(Der::Sequence, Bytes{}),
                        Der::Wrap(Der::OctetString, Bytes(signatureSize, 0xAB))});
    if (!unsignedAttributes.empty()) Append(signer, Der::Wrap(Der::Context(1), unsignedAttributes));
    const Bytes signedData = Cat({version, Der::Wrap(Der::Set, Bytes{}), Der::Wrap(Der::Sequence, Bytes(12, 0x05)),
                                  Der::Wrap(Der::Context(0), Bytes(300, 0x07)),
                                  Der::Wrap(Der::Set, Der::Wrap(Der::Sequence, signer))});
    return Der::Wrap(Der::Sequence,
                     Cat({Der::Wrap(Der::Oid, kSignedDataOid), Der::Wrap(Der::Context(0), Der::Wrap(Der::Sequence, signedData))}));
}

RecordHead::TPackHeader Trailer(const char* name) {
    RecordHead::TPackHeader h = MakeHeader(name, "Ann");
    h.FileOffset.Set(0x12345678);
    return h;
}

// The DER of an entry: every element's length agrees with what encloses it.
Der::View EntryDer(const Bytes& entry) { return Der::View(entry).subspan(Authenticode::EntryHeaderSize); }

TEST(Der, LengthsAtTheirBoundaries) {
    for (const auto& [length, size] : std::initializer_list<std::pair<std::size_t, std::size_t>>{
             {0, 2}, {127, 2}, {128, 3}, {255, 3}, {256, 4}, {65535, 4}, {65536, 5}}) {
        const Bytes head = Der::Head(Der::Sequence, length);
        EXPECT_EQ(head.size(), size) << length;
        EXPECT_EQ(Der::HeadSize(length), size) << length;
        Bytes whole = head;
        whole.resize(head.size() + length);
        const Der::Element e = Der::Read(whole, 0, whole.size());
        EXPECT_EQ(e.Length(), length);
        EXPECT_EQ(e.end, whole.size());
    }
}

TEST(Der, RefusesWhatIsNotDer) {
    const Bytes indefinite = {0x30, 0x80, 0x00, 0x00};
    const Bytes tooLong = {0x30, 0x05, 0x01};
    const Bytes hugeLength = {0x30, 0x85, 1, 0, 0, 0, 0};
    const Bytes longTag = {0x1F, 0x81, 0x01, 0x00};
    for (const Bytes* bad : {&indefinite, &tooLong, &hugeLength, &longTag})
        EXPECT_THROW(Der::Read(*bad, 0, bad->size()), EDerError);
    // Children must fill their parent exactly.
    const Bytes overhang = {0x30, 0x03, 0x04, 0x02, 0x00};
    EXPECT_THROW(Der::Children(overhang, Der::Read(overhang, 0, 5)), EDerError);
    EXPECT_EQ(Der::OidText(kSignedDataOid), "1.2.840.113549.1.7.2");
    EXPECT_EQ(Der::OidText(Bytes{0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04}), "1.3.6.1.4.1.311.2.1.4");
}

TEST(SealedEntry, EndsInTheTrailerAlignedWithConsistentLengths) {
    const RecordHead::TPackHeader trailer = Trailer("Demo");
    // Signature sizes around the points where a DER length grows a byte.
    for (std::size_t size = 0; size < 40; ++size) {
        for (const std::size_t base : {0u, 65000u}) {
            const Bytes pkcs7 = Pkcs7(base + size);
            const Bytes entry = Seal::SealedEntry(pkcs7, trailer);
            ASSERT_EQ(entry.size() % 8, 0u) << base + size;
            EXPECT_EQ(LittleEndian::Load32(entry, 0), entry.size());
            EXPECT_EQ(LittleEndian::Load16(entry, 4), 0x200);
            EXPECT_EQ(LittleEndian::Load16(entry, 6), 2);
            EXPECT_EQ(std::memcmp(&entry[entry.size() - sizeof trailer], &trailer, sizeof trailer), 0);
            const Der::View der = EntryDer(entry);
            const Authenticode::TSignerPath path = Authenticode::FindLastSigner(der);
            EXPECT_EQ(path.ContentInfo.end, der.size());
            // The signed parts are unchanged: the signer's first elements are as they were.
            const Authenticode::TSignerPath before = Authenticode::FindLastSigner(pkcs7);
            const auto oldSigner = Der::Children(pkcs7, before.SignerInfo);
            const auto newSigner = Der::Children(der, path.SignerInfo);
            ASSERT_EQ(newSigner.size(), oldSigner.size() + 1);
            for (std::size_t i = 0; i < oldSigner.size(); ++i) {
                const auto a = oldSigner[i].Whole(pkcs7), b = newSigner[i].Whole(der);
                EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
            }
        }
    }
}

TEST(SealedEntry, SealingAgainReplacesTheSealAndKeepsOtherAttributes) {
    const Bytes timestamp = Der::Wrap(Der::Sequence, Cat({Der::Wrap(Der::Oid, Bytes{0x2A, 0x03}),
                                                          Der::Wrap(Der::Set, Bytes(70, 0x44))}));
    const Bytes first = Seal::SealedEntry(Pkcs7(256, timestamp), Trailer("Demo"));
    // Sealing the sealed signature changes nothing.
    EXPECT_EQ(Seal::SealedEntry(EntryDer(first), Trailer("Demo")), first);

    // A timestamp added after the seal buries it; sealing again brings it back last.
    const Der::View der = EntryDer(first);
    const Authenticode::TSignerPath path = Authenticode::FindLastSigner(der);
    const auto attributes = Der::Children(der, Der::Children(der, path.SignerInfo).back());
    ASSERT_EQ(attributes.size(), 2u);
    const auto sealBytes = attributes[1].Whole(der);
    Bytes buried = Cat({timestamp, Bytes(sealBytes.begin(), sealBytes.end()), timestamp});
    const Bytes again = Seal::SealedEntry(Pkcs7(256, buried), Trailer("Other"));
    const Der::View againDer = EntryDer(again);
    const auto kept = Der::Children(againDer, Der::Children(againDer, Authenticode::FindLastSigner(againDer).SignerInfo).back());
    ASSERT_EQ(kept.size(), 3u);  // both timestamps and one seal
    const auto t = kept[0].Whole(againDer);
    EXPECT_TRUE(std::equal(t.begin(), t.end(), timestamp.begin(), timestamp.end()));
    const RecordHead::TPackHeader other = Trailer("Other");
    EXPECT_EQ(std::memcmp(&again[again.size() - sizeof other], &other, sizeof other), 0);
}

TEST(SealedEntry, RefusesWhatIsNotASignature) {
    const Bytes notSignedData = Der::Wrap(Der::Sequence, Der::Wrap(Der::Oid, Bytes{0x2A, 0x03}));
    EXPECT_THROW(Seal::SealedEntry(notSignedData, Trailer("Demo")), ESignatureFormat);
    Bytes trailing = Pkcs7(10);
    trailing.push_back(0);
    EXPECT_THROW(Seal::SealedEntry(trailing, Trailer("Demo")), ESealError);
}

}  // namespace

TEST(SealFile, AFailedSealLeavesTheTargetAsItWasAndNoTemporaryFile) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("seal-test-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const auto write = [](const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; };
    write(folder / "unsigned.exe", std::string(4096, 'M'));
    write(folder / "target.exe", "old bytes");
    EXPECT_THROW(Seal::SealFile((folder / "unsigned.exe").string(), (folder / "target.exe").string()), ESealError);
    std::ifstream target(folder / "target.exe", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(target), {}), "old bytes");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    fs::remove_all(folder);
}
