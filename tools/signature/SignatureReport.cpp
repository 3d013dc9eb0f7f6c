#include "tools/signature/SignatureReport.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "package/SignedPart.h"
#include "system/Errors.h"
#include "tools/signature/Authenticode.h"

using namespace RecordHead;

namespace {

constexpr std::uint64_t kTrailerSize = sizeof(TPackHeader);

bool LastBytesAreCopy(ByteSource& file, std::uint64_t copyAt) {
    if (file.Size() < kTrailerSize) return false;
    TPackHeader last, copy;
    file.Seek(file.Size() - kTrailerSize);
    file.ReadExact(&last, sizeof last);
    file.Seek(copyAt);
    file.ReadExact(&copy, sizeof copy);
    return std::memcmp(&last, &copy, sizeof last) == 0;
}

void CheckDigest(ByteSource& file, const Authenticode::TSignedImage& image, const Authenticode::TSignatureInfo& info,
                 TSignatureCheck& check) {
    if (!info.Digest) {
        check.Problems.push_back("the signature's file digest uses an algorithm this tool does not compute");
        return;
    }
    const std::string name = DigestName(*info.Digest);
    if (Authenticode::FileDigest(file, image, *info.Digest) != info.RecordedDigest) {
        check.Problems.push_back("the signature's " + name +
                                 " file digest does not match the file: it was changed after it was signed");
        return;
    }
    if (!info.AttributesMatch) {
        check.Problems.push_back("the signed attributes do not vouch for the signature's file digest");
        return;
    }
    check.Summary = "signed by " + check.Subject + "; its " + name +
                    " file digest matches the file (the certificate chain is not checked)";
}

}  // namespace

std::optional<TSignatureCheck> CheckSignature(ByteSource& file) {
    std::optional<Authenticode::TSignedImage> image;
    TSignatureCheck check;
    try {
        image = Authenticode::ReadSignedImage(file);
        if (!image) return std::nullopt;
        check.SignedEnd = image->TableOffset;
        const Authenticode::TSignatureInfo info = Authenticode::ReadSignatureInfo(image->Pkcs7);
        check.Subject = info.Subject;
        CheckDigest(file, *image, info, check);
    } catch (const std::runtime_error& e) {  // a malformed table or DER, or no hash to compute
        check.Problems.push_back(std::string("the signature cannot be read: ") + e.what());
    }
    if (!image) {
        const auto end = SignedPart::End(file);
        if (!end) return check;  // a table past the end of the file: the problem says so
        check.SignedEnd = *end;
    }
    check.TrailerCopy = SignedPart::FindTrailer(file, check.SignedEnd);
    check.Sealed = check.TrailerCopy && LastBytesAreCopy(file, *check.TrailerCopy);
    return check;
}

std::vector<std::string> CheckSignedPackage(ByteSource& file, const TPackHeader& trailer,
                                            const TSignatureCheck& signature) {
    std::vector<std::string> problems;
    const std::string end = std::to_string(signature.SignedEnd);
    if (!SignedPart::FindTrailer(file, signature.SignedEnd, &trailer))
        problems.push_back("the trailer at the end of the file is not the copy inside the signed part (which ends at "
                           "offset " + end + "): changed after it was sealed, or sealed from another file");
    const struct {
        const char* Name;
        std::int32_t Count;
        std::uint32_t Offset;
        std::uint64_t RecordSize;
    } tables[] = {{"file table", trailer.FileCount.Get(), trailer.FileOffset.Get(), sizeof(TFileItem)},
                  {"directory table", trailer.DirCount.Get(), trailer.DirOffset.Get(), sizeof(TDirItem)},
                  {"shell-item table", trailer.ShellCount.Get(), trailer.ShellOffset.Get(), sizeof(TShellItem)},
                  {"registry table", trailer.RegCount.Get(), trailer.RegOffset.Get(), sizeof(TRegItem)}};
    for (const auto& t : tables)
        if (t.Count > 0 && t.Offset + std::uint64_t(t.Count) * t.RecordSize > signature.SignedEnd)
            problems.push_back(std::string("the ") + t.Name + " at offset " + std::to_string(t.Offset) +
                               " reaches past the signed part, which ends at offset " + end);
    const std::int32_t count = trailer.FileCount.Get();
    if (count <= 0 || trailer.FileOffset.Get() + std::uint64_t(count) * sizeof(TFileItem) > file.Size()) return problems;
    std::vector<TFileItem> files(static_cast<std::size_t>(count));
    file.Seek(trailer.FileOffset.Get());
    file.ReadExact(files.data(), files.size() * sizeof(TFileItem));
    for (std::size_t i = 0; i < files.size(); ++i)
        if (std::uint64_t(files[i].Offset.Get()) + files[i].Size.Get() > signature.SignedEnd)
            problems.push_back("file " + std::to_string(i) + "'s data at offset " + std::to_string(files[i].Offset.Get()) +
                               " reaches past the signed part, which ends at offset " + end);
    return problems;
}

std::string SignerText(ByteSource& file) {
    try {
        const std::optional<TSignatureCheck> check = CheckSignature(file);
        if (!check) return "none";
        const std::string who = check->Subject.empty() ? "(unreadable)" : check->Subject;
        return who + (check->Sealed ? ", sealed" : check->TrailerCopy ? ", not sealed (run \"makesetup seal\")" : "");
    } catch (const Exception& e) {
        return "(unreadable: " + e.Message() + ")";
    }
}
