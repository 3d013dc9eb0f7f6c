#include "tools/build/Signing.h"

#include <cstdlib>
#include <vector>

#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/platform/Platform.h"
#include "tools/signature/Seal.h"

namespace Signing {
namespace {

// Intermediate files beside the output, removed whatever happens.
class TScratchFiles {
public:
    explicit TScratchFiles(std::string stem) : stem_(std::move(stem)) {}
    ~TScratchFiles() {
        for (const std::string& path : paths_) Platform::RemoveFile(path);
    }
    TScratchFiles(const TScratchFiles&) = delete;
    TScratchFiles& operator=(const TScratchFiles&) = delete;

    std::string Add(const std::string& suffix) {
        paths_.push_back(stem_ + suffix);
        return paths_.back();
    }

private:
    std::string stem_;
    std::vector<std::string> paths_;
};

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

void CopyFile(const std::string& from, const std::string& to) {
    TFileStream in = TFileStream::OpenRead(Platform::ToNative(from));
    TFileStream out = TFileStream::Create(Platform::ToNative(to));
    std::vector<std::uint8_t> buffer(1u << 20);
    ReadToEnd(in, buffer, [&](const std::uint8_t* bytes, std::size_t count) { out.Write(bytes, count); });
}

std::string Mib(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

std::uint64_t PlannedSize(const TPackagePlan& plan) {
    using namespace RecordHead;
    std::uint64_t size = plan.StubSize + sizeof(TPackHeader) + plan.Files.size() * sizeof(TFileItem) +
                         plan.Dirs.size() * sizeof(TDirItem) + plan.ShellItems.size() * sizeof(TShellItem) +
                         plan.RegItems.size() * sizeof(TRegItem);
    for (const TPlannedFile& f : plan.Files) size += f.Size;
    return size;
}

std::string CommandFor(const TSignRequest& request) {
    if (!request.Command.empty() || (request.Certificate.empty() && request.Pkcs12.empty())) return request.Command;
    return OsslsigncodeCommand(request.Certificate, request.Key, request.Pkcs12, request.PasswordEnv);
}

std::string CommandLine(const std::string& command, const std::string& in, const std::string& out) {
    // Placeholders first, so a path that holds "{out}" is not replaced again.
    std::string line = command;
    ReplaceAll(line, "{in}", "\x01");
    ReplaceAll(line, "{out}", "\x02");
    ReplaceAll(line, "\x01", Platform::ShellQuote(in));
    ReplaceAll(line, "\x02", Platform::ShellQuote(out));
    return line;
}

std::string OsslsigncodeCommand(const std::string& certificate, const std::string& key, const std::string& pkcs12,
                                const std::string& passwordEnv) {
    std::string command = "osslsigncode sign";
    if (!pkcs12.empty())
        command += " -pkcs12 " + Platform::ShellQuote(pkcs12);
    else
        command += " -certs " + Platform::ShellQuote(certificate) + " -key " + Platform::ShellQuote(key);
#ifdef _WIN32
    if (!passwordEnv.empty()) command += " -pass \"%" + passwordEnv + "%\"";
#else
    if (!passwordEnv.empty()) command += " -pass \"$" + passwordEnv + "\"";
#endif
    // osslsigncode records the signing time; a fixed one makes builds repeatable.
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch && *epoch && std::string(epoch).find_first_not_of("0123456789") == std::string::npos)
        command += " -time " + std::string(epoch);
    return command + " -in {in} -out {out}";
}

void RunSigner(const std::string& command, const std::string& in, const std::string& out) {
    const bool inPlace = command.find("{out}") == std::string::npos;
    try {
        if (inPlace) CopyFile(in, out);
    } catch (const Exception& e) {
        throw EBuildError(e.Message());
    }
    const std::string line = CommandLine(command, inPlace ? out : in, out);
    const int code = Platform::RunShellCommand(line);
    if (code != 0)
        throw EBuildError("the signer failed" + (code > 0 ? " with exit code " + std::to_string(code) : std::string()) +
                          ": " + line);
    if (Platform::Examine(out).Kind != Platform::EntryKind::File)
        throw EBuildError("the signer wrote no file where {out} pointed: " + line);
}

TBuildSummary WriteSignedPackage(TPackagePlan plan, const std::string& outPath, const std::string& command,
                                 const TBuildProgress& progress) {
    const std::uint64_t planned = PlannedSize(plan);
    if (planned >= SignableLimit)
        throw EBuildError("the package would be " + std::to_string(planned) + " bytes (" + Mib(planned) +
                          "); Windows cannot sign a file of 2 GiB or more, and the signature needs " +
                          std::to_string(SignatureRoom >> 10) + " KiB of that");
    CheckOutputPath(plan, outPath);
    TScratchFiles scratch(Platform::TemporaryPathFor(outPath));
    if (plan.UninstallerFile) {
        TPlannedFile& uninstaller = plan.Files.at(*plan.UninstallerFile);
        const std::string signedCopy = scratch.Add(".uninstaller");
        RunSigner(command, uninstaller.Source, signedCopy);
        uninstaller.Source = signedCopy;
        uninstaller.Size = Platform::Examine(signedCopy).Size;
        if (uninstaller.Size > 0xFFFFFFFFu) throw EBuildError("the signed uninstaller is larger than a package holds");
        uninstaller.Record.Size.Set(static_cast<std::uint32_t>(uninstaller.Size));
        if (PlannedSize(plan) >= SignableLimit) throw EBuildError("the signed uninstaller makes the package too large to sign");
    }
    const std::string unsignedImage = scratch.Add(".unsigned");
    const std::string signedImage = scratch.Add(".signed");
    TBuildSummary summary = WritePackage(plan, unsignedImage, progress);
    RunSigner(command, unsignedImage, signedImage);
    try {
        summary.Size = Seal::SealFile(signedImage, outPath).Size;
    } catch (const ESealError& e) {
        throw EBuildError("the signed file cannot be sealed: " + std::string(e.what()));
    }
    return summary;
}

}  // namespace Signing
