#include "tools/signature/SignatureReport.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "package/CompressedForm.h"
#include "package/PackageTables.h"
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
    const SignedPart::TReading reading = SignedPart::Read(file);
    TSignatureCheck check;
    if (reading.Problem != SignedPart::TProblem::None) {
        check.Problems.push_back("the signature cannot be read as its verifiers read it: " +
                                 SignedPart::ProblemText(reading, file.Size()));
        return check;
    }
    if (!reading.Signature) return std::nullopt;
    check.Part = reading.Signature;
    try {
        const Authenticode::TSignedImage image = Authenticode::ReadSignedImage(file, *check.Part);
        const Authenticode::TSignatureInfo info = Authenticode::ReadSignatureInfo(image.Pkcs7);
        check.Subject = info.Subject;
        CheckDigest(file, image, info, check);
    } catch (const ESignatureFormat& e) {
        check.Problems.push_back("the signature cannot be read: " + e.Message());
    } catch (const EDerError& e) {
        check.Problems.push_back("the signature cannot be read: " + e.Message());
    } catch (const EDigestError& e) {
        check.Problems.push_back("the signature cannot be read: " + e.Message());
    }
    check.TrailerCopy = SignedPart::FindTrailer(file, *check.Part);
    check.Sealed = check.TrailerCopy && LastBytesAreCopy(file, *check.TrailerCopy);
    return check;
}

std::vector<std::string> CheckSignedPackage(ByteSource& file, const TPackHeader& trailer,
                                            const TSignatureCheck& signature) {
    std::vector<std::string> problems;
    if (!signature.Part) return problems;  // the signature's own problem says why
    const SignedPart::TSignature& part = *signature.Part;
    const std::string end = std::to_string(part.TableOffset);
    // Why a range the signature must cover is not covered: it reaches past
    // the signed part, or over CheckSum or the certificate table entry,
    // which may change after signing. Empty when it is covered.
    const auto outside = [&](std::uint64_t offset, std::uint64_t size) -> std::string {
        if (part.Covers(offset, size)) return "";
        if (offset + size > part.TableOffset) return " reaches past the signed part, which ends at offset " + end;
        return " covers a header field the signature leaves out (CheckSum at offset " +
               std::to_string(part.ChecksumOffset) + ", the certificate table entry at offset " +
               std::to_string(part.EntryOffset) + ")";
    };
    if (!SignedPart::FindTrailer(file, part, &trailer))
        problems.push_back("the trailer at the end of the file is not the copy inside the signed part (which ends at "
                           "offset " + end + "): changed after it was sealed, or sealed from another file");
    if (CompressedForm::IsCompressedHeader(trailer)) {
        // The tables and the records count in decoded data: the stream, the
        // CRC table, the stream record and the tables frame are what must lie
        // inside.
        try {
            const CompressedForm::TStreamInfo info = CompressedForm::ReadStreamInfo(file, file.Size(), trailer);
            const CompressedForm::TStreamRecord& r = info.Record;
            const struct {
                const char* Name;
                std::uint64_t Offset, Size;
            } parts[] = {{"compressed stream", r.StreamOffset.Get(), r.StreamSize.Get()},
                         {"CRC table", r.CrcOffset.Get(), 4 * std::uint64_t(info.Crcs.size())},
                         {"stream record", CompressedForm::StreamRecordOffset(trailer), sizeof r},
                         {"tables frame", trailer.FileOffset.Get(), r.TablesSize.Get()}};
            for (const auto& p : parts)
                if (const std::string where = outside(p.Offset, p.Size); !where.empty())
                    problems.push_back("the " + std::string(p.Name) + " at offset " + std::to_string(p.Offset) + where);
        } catch (const Exception&) {
            // a damaged stream record or tables that do not fit it: verify names them
        }
        return problems;
    }
    for (const TTableSpan& t : TableSpans(trailer))
        if (t.Count > 0)
            if (const std::string where = outside(t.Offset, std::uint64_t(t.Count) * t.RecordSize); !where.empty())
                problems.push_back("the " + std::string(t.Name.Name) + " at offset " + std::to_string(t.Offset) + where);
    const std::int32_t count = trailer.FileCount.Get();
    if (count <= 0 || trailer.FileOffset.Get() + std::uint64_t(count) * sizeof(TFileItem) > file.Size()) return problems;
    std::vector<TFileItem> files(static_cast<std::size_t>(count));
    file.Seek(trailer.FileOffset.Get());
    file.ReadExact(files.data(), files.size() * sizeof(TFileItem));
    for (std::size_t i = 0; i < files.size(); ++i)
        if (const std::string where = outside(files[i].Offset.Get(), files[i].Size.Get()); !where.empty())
            problems.push_back("file " + std::to_string(i) + "'s data at offset " +
                               std::to_string(files[i].Offset.Get()) + where);
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
