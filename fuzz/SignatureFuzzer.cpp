// Feeds arbitrary bytes to the Authenticode reader, as a whole signed file
// and as a bare PKCS#7 signature, and to sealing's rebuild of a signature:
// each must answer or raise its own error, never crash, hang or allocate
// beyond what the input justifies. A signature sealed once must come out of
// a second sealing unchanged, as sealing a sealed file changes nothing.
#include <cstddef>
#include <cstdint>

#include "fuzz/AllocationGuard.h"
#include "package/RecordHead.h"
#include "system/ByteStream.h"
#include "system/Errors.h"
#include "tools/signature/Authenticode.h"
#include "tools/signature/Der.h"
#include "tools/signature/Seal.h"
#include "tools/signature/SignatureReport.h"

namespace {

// The digest buffer of a whole-file check is 1 MiB, whatever the input.
constexpr std::size_t kFixedAllowance = (1u << 20) + 4096;

RecordHead::TPackHeader SomeTrailer() {
    RecordHead::TPackHeader trailer{};
    trailer.Magic.TrySet(RecordHead::PackageMagic);
    trailer.AppName.TrySet("Fuzz");
    return trailer;
}

void SealTwice(Der::View pkcs7) {
    const RecordHead::TPackHeader trailer = SomeTrailer();
    Der::Bytes once;
    try {
        once = Seal::SealedEntry(pkcs7, trailer);
    } catch (const Exception&) {
        return;  // not a signature sealing can rebuild: refused as it must be
    }
    if (once.size() % 8 != 0) __builtin_trap();
    const Der::View der(once.data() + Authenticode::EntryHeaderSize, once.size() - Authenticode::EntryHeaderSize);
    if (Seal::SealedEntry(der, trailer) != once) __builtin_trap();
}

void ReadAsFile(Der::View bytes) {
    MemorySource file(bytes);
    try {
        (void)CheckSignature(file);
        if (const auto image = Authenticode::ReadSignedImage(file)) SealTwice(image->Pkcs7);
    } catch (const Exception&) {
        // a table or header past the end; the reader's own refusals (the certificate table, its DER)
    }
}

void ReadAsSignature(Der::View bytes) {
    try {
        (void)Authenticode::ReadSignatureInfo(bytes);
    } catch (const Exception&) {
        return;
    }
    SealTwice(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AllocationGuard::TScope guard(4 * size + kFixedAllowance);
    const Der::View bytes(data, size);
    ReadAsFile(bytes);
    ReadAsSignature(bytes);
    return 0;
}
