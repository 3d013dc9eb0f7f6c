// makesetup: builds setup executables from package descriptions, lists what
// a package holds and verifies that a package file is whole.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "package/UninstallContract.h"
#include "package/CompressedReading.h"
#include "package/PackageReader.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/build/PackageBuild.h"
#include "tools/build/Signing.h"
#include "tools/deploy/Winget.h"
#include "tools/description/Description.h"
#include "tools/examine/Unpack.h"
#include "tools/examine/PackageData.h"
#include "tools/examine/PackageListing.h"
#include "tools/examine/SafeFolder.h"
#include "tools/platform/CodePage.h"
#include "tools/platform/Platform.h"
#include "tools/signature/Seal.h"
#include "tools/signature/SignatureReport.h"

#ifndef MAKESETUP_VERSION
#define MAKESETUP_VERSION "0"
#endif

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr std::uint64_t kProgressFrom = 16u << 20;  // smaller packages build too fast for a bar

// A one-line bar on the terminal, redrawn when the percentage changes.
class TProgressBar {
public:
    void operator()(std::uint64_t done, std::uint64_t total) {
        if (total < kProgressFrom) return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == shown_) return;
        shown_ = percent;
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r[%-30s] %3d%%  %llu / %llu MiB", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     percent, static_cast<unsigned long long>(done >> 20), static_cast<unsigned long long>(total >> 20));
        if (done == total) std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    // Ends a bar cut short by an error.
    void Close() {
        if (shown_ >= 0 && shown_ < 100) std::fputc('\n', stderr);
    }

private:
    int shown_ = -1;
};

// Runs one command. Whatever error ends it, of any kind, is one line on
// stderr, `prefix` and the error's message, and exit code 1.
template <typename Command>
int Guarded(const std::string& prefix, TProgressBar* bar, Command command) {
    std::string message;
    try {
        return command();
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::exception& e) {  // the library's own: memory, a bad conversion
        message = e.what();
    }
    if (bar) bar->Close();
    std::replace(message.begin(), message.end(), '\n', ' ');
    std::fprintf(stderr, "%s%s\n", prefix.c_str(), message.c_str());
    return kFailed;
}

// "demo.toml" -> "demo-setup.exe" in the current folder.
std::string DefaultOutput(const std::string& description) {
    std::string name = description.substr(description.find_last_of("/\\") + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name + "-setup.exe";
}

std::string Count(std::size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string PlanCounts(const TPackagePlan& plan) {
    return Count(plan.Files.size(), "file") + ", " + Count(plan.Dirs.size(), "folder") + ", " +
           Count(plan.ShellItems.size(), "shell item") + ", " + Count(plan.RegItems.size(), "registry value");
}

// Prints the diagnostics by line; false (after "nothing written") when one
// is an error.
bool Report(const TDiagnostics& diagnostics) {
    std::vector<TDiagnostic> messages = diagnostics.Items();
    std::stable_sort(messages.begin(), messages.end(),
                     [](const TDiagnostic& a, const TDiagnostic& b) { return a.Where.Line < b.Where.Line; });
    for (const TDiagnostic& d : messages) std::fprintf(stderr, "%s\n", d.Format().c_str());
    if (!diagnostics.HasErrors()) return true;
    std::fprintf(stderr, "makesetup: nothing written\n");
    return false;
}

struct TBuildArguments {
    std::string Description, Output, Stub, Uninstaller, Icon, SignCommand, Compression;
    std::vector<std::string> Defines;
    bool Quiet = false;
};

// Reads the description as the build does and prints what it found;
// kOk when the plan may be used.
int ReadPlan(const TBuildArguments& args, TPackagePlan& plan) {
    TDescriptionOptions options;
    options.Stub = Platform::FromNative(args.Stub);
    options.ToolPath = Platform::ExecutablePath();
    options.Uninstaller = Platform::FromNative(args.Uninstaller);
    options.Icon = Platform::FromNative(args.Icon);
    for (const std::string& define : args.Defines) {
        const std::size_t eq = define.find('=');
        if (eq == 0 || eq == std::string::npos) {
            std::fprintf(stderr, "makesetup: --define wants NAME=VALUE, not \"%s\"\n", define.c_str());
            return kUsage;
        }
        options.Defines[define.substr(0, eq)] = Platform::FromNative(define.substr(eq + 1));
    }
    TDiagnostics diagnostics;
    plan = PlanPackage(Platform::FromNative(args.Description), options, diagnostics);
    return Report(diagnostics) ? kOk : kFailed;
}

int RunBuild(const TBuildArguments& args) {
    TPackagePlan plan;
    if (const int code = ReadPlan(args, plan); code != kOk) return code;
    const std::string description = Platform::FromNative(args.Description);
    if (!args.Compression.empty()) plan.Compression = *CompressionByName(args.Compression);
    const std::string output = args.Output.empty() ? DefaultOutput(description) : Platform::FromNative(args.Output);
    TProgressBar bar;
    const bool showBar = !args.Quiet && Platform::StderrIsTerminal();
    const std::string signer = args.SignCommand.empty() ? Signing::CommandFor(plan.Sign) : args.SignCommand;
    return Guarded("makesetup: nothing written: ", &bar, [&] {
        const TBuildProgress progress = showBar ? TBuildProgress(std::ref(bar)) : TBuildProgress();
        const TBuildSummary summary = signer.empty() ? WritePackage(plan, output, progress)
                                                     : Signing::WriteSignedPackage(plan, output, signer, progress);
        if (!args.Quiet)
            std::printf("%s: %llu bytes, %s, checksum 0x%08X%s\n", output.c_str(),
                        static_cast<unsigned long long>(summary.Size), PlanCounts(plan).c_str(), summary.Checksum,
                        signer.empty() ? "" : ", signed and sealed");
        return kOk;
    });
}

TFileStream OpenInput(const std::string& path) { return TFileStream::OpenRead(Platform::ToNative(path)); }

// The package of `file`, for list, extract and winget. The package reader's
// own errors do not name the table they stopped at: verify's table checks do.
TPackageContents LoadForReport(TFileStream& file) {
    std::optional<TPackageContents> package;
    try {
        package = ReadPackage(file, kFullReading);
    } catch (const Exception& e) {
        const std::vector<std::string> tables = TableProblems(file);
        if (tables.empty()) throw ENotAPackage(e.Message() + " (run \"makesetup verify\" for details)");
        std::string named;
        for (const std::string& problem : tables) named += (named.empty() ? "" : "; ") + problem;
        throw ENotAPackage(named);
    }
    if (!package) throw ENotAPackage("not a package: the last 552 bytes do not begin with \"qzx\" and a NUL");
    return std::move(*package);
}

int RunList(const std::string& nativePath, bool json, unsigned codePage) {
    const std::string path = Platform::FromNative(nativePath);
    return Guarded(path + ": ", nullptr, [&] {
        TFileStream file = OpenInput(path);
        const TPackageContents package = LoadForReport(file);
        const std::string signer = SignerText(file);
        const std::string text = json ? ListJson(path, file.Size(), package, signer, codePage)
                                      : ListText(path, file.Size(), package, signer, codePage);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return kOk;
    });
}

int RunVerify(const std::string& nativePath, unsigned codePage) {
    const std::string path = Platform::FromNative(nativePath);
    return Guarded(path + ": ", nullptr, [&] {
        TFileStream file = OpenInput(path);
        const TVerifyReport report = VerifyPackage(file, codePage);
        for (const std::string& problem : report.Problems)
            std::fprintf(stderr, "%s: %s\n", path.c_str(), problem.c_str());
        if (!report.Ok()) return kFailed;
        std::printf("%s: OK: %s\n", path.c_str(), report.Summary.c_str());
        return kOk;
    });
}

int RunSeal(const std::string& nativeIn, const std::string& nativeOut) {
    const std::string in = Platform::FromNative(nativeIn);
    const std::string out = nativeOut.empty() ? in : Platform::FromNative(nativeOut);
    return Guarded(in + ": cannot seal: ", nullptr, [&] {
        const Seal::TSealResult result = Seal::SealFile(in, out);
        std::printf("%s: %s, %llu bytes; the package trailer at offset %llu lies inside the signature\n", out.c_str(),
                    result.AlreadySealed ? "already sealed, unchanged" : "sealed",
                    static_cast<unsigned long long>(result.Size), static_cast<unsigned long long>(result.TrailerCopy));
        return kOk;
    });
}

struct TWingetArguments {
    TBuildArguments Read;  // the description and how to read it, as for build
    std::string Installer, Url, Id, Output;
};

// Writes `text` as `path`, whole or not at all.
void WriteTextFile(const std::string& path, const std::string& text) {
    TTemporaryFile file(Platform::ToNative(path));
    file.File().Write(text.data(), text.size());
    file.Commit();
}

int RunWinget(const TWingetArguments& args) {
    TPackagePlan plan;
    if (const int code = ReadPlan(args.Read, plan); code != kOk) return code;
    Winget::TRequest request{args.Id, args.Url, "", Platform::FromNative(args.Installer)};
    const std::string folder = Platform::FromNative(args.Output);
    return Guarded(request.Installer + ": ", nullptr, [&] {
        TFileStream file = OpenInput(request.Installer);
        const TPackageContents package = LoadForReport(file);
        request.InstallerSha256 = Winget::FileSha256(request.Installer);
        const Winget::TRegistration registration =
            Winget::RegistrationOf(package.Header, package.Tables.RegItems, plan.Catalog.CodePage);
        TDiagnostics diagnostics;
        const std::vector<Winget::TManifest> manifests =
            Winget::Manifests(plan.Catalog, registration, request, diagnostics);
        if (!Report(diagnostics)) return kFailed;
        if (!Platform::MakeFolder(folder)) {
            std::fprintf(stderr, "makesetup: cannot make the folder %s; nothing written\n", folder.c_str());
            return kFailed;
        }
        for (const Winget::TManifest& manifest : manifests) {
            const std::string path = folder + "/" + manifest.FileName;
            WriteTextFile(path, manifest.Text);
            if (!args.Read.Quiet) std::printf("%s\n", path.c_str());
        }
        return kOk;
    });
}

struct TExtractArguments {
    std::string File, Output, From;
    unsigned CodePage = CodePage::kDefault;
    bool List = false, Quiet = false;
};

void ShowPlan(const std::vector<TExtractEntry>& plan) {
    for (const TExtractEntry& entry : plan) {
        if (entry.Refused()) continue;
        std::printf("%5zu %12u  %s%s\n", entry.Index, static_cast<unsigned>(entry.Size), entry.Target().c_str(),
                    entry.ReplacedBy ? (" (replaced by entry " + std::to_string(*entry.ReplacedBy) + ")").c_str() : "");
    }
}

// The file that holds the data: the package itself, or for an uninstall
// data file the setup executable it names with --from.
std::optional<TFileStream> OpenData(const TExtractArguments& args, TFileStream& file, const TPackageContents& package) {
    if (!args.From.empty()) return OpenInput(Platform::FromNative(args.From));
    if (!package.Tables.Files.empty() && IsUninstallLayout(package.Header, file.Size()))
        throw ENotAPackage("an uninstall data file: its files' data lives in the setup executable; give --from "
                           "SETUP.EXE");
    return std::nullopt;
}

int RunExtract(const TExtractArguments& args) {
    const std::string path = Platform::FromNative(args.File);
    TProgressBar bar;
    return Guarded(path + ": ", &bar, [&] {
        TFileStream file = OpenInput(path);
        const TPackageContents package = LoadForReport(file);
        std::optional<TFileStream> from = OpenData(args, file, package);
        ByteSource* data = from ? static_cast<ByteSource*>(&*from) : &file;
        // The compressed form's records count in its decoded data.
        std::optional<TDecodedData> decoded;
        std::optional<TPackageContents> holder;
        const TPackageContents* source = &package;
        if (from && (holder = ReadPackage(*from, kFullReading))) source = &*holder;
        if (source->Stream) {
            decoded.emplace(*data, *source->Stream);
            data = &decoded->Source();
        }
        const std::vector<TExtractEntry> plan = PlanExtraction(package.Tables.Files, args.CodePage, data->Size());
        std::size_t refused = 0;
        for (const TExtractEntry& entry : plan)
            if (entry.Refused()) {
                ++refused;
                std::fprintf(stderr, "%s: entry %zu \"%s\" refused: %s\n", path.c_str(), entry.Index,
                             entry.Name.c_str(), entry.Problem.c_str());
            }
        if (args.List) {
            ShowPlan(plan);
            return refused ? kFailed : kOk;
        }
        const bool showBar = !args.Quiet && Platform::StderrIsTerminal();
        TSafeFolder folder(Platform::FromNative(args.Output));
        const TExtractResult result =
            ExtractFiles(plan, *data, folder, showBar ? TExtractProgress(std::ref(bar)) : TExtractProgress());
        for (const std::string& failure : result.Failures) std::fprintf(stderr, "%s: %s\n", path.c_str(), failure.c_str());
        if (!args.Quiet)
            std::printf("%s: %s, %llu bytes written below %s; %zu refused, %zu failed\n", path.c_str(),
                        Count(result.Written, "file").c_str(), static_cast<unsigned long long>(result.Bytes),
                        Platform::FromNative(args.Output).c_str(), refused, result.Failures.size());
        return refused || !result.Failures.empty() ? kFailed : kOk;
    });
}

CLI::Option* AddCodePage(CLI::App* command, unsigned& codePage) {
    return command
        ->add_option("--codepage", codePage, "The package's code page for its texts (" + CodePage::SupportedList() +
                                                 "; default 1252)")
        ->check([](const std::string& text) {
            try {
                if (CodePage::Supported(static_cast<unsigned>(std::stoul(text)))) return std::string();
            } catch (const std::exception&) {
                // not a number: the message below says what is wanted
            }
            return "not one of " + CodePage::SupportedList();
        });
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"makesetup " MAKESETUP_VERSION ": builds self-extracting setup executables from package "
                 "descriptions, lists and verifies them."};
    app.set_version_flag("--version", "makesetup " MAKESETUP_VERSION);
    app.require_subcommand(1);

    TBuildArguments build;
    CLI::App* buildCommand = app.add_subcommand("build", "Build a setup executable from a package description (TOML)");
    buildCommand->add_option("DESCRIPTION", build.Description, "The package description")->required();
    buildCommand->add_option("-o,--output", build.Output, "The setup executable to write (default: NAME-setup.exe "
                                                          "in the current folder, NAME being the description's)");
    buildCommand->add_option("--stub", build.Stub, "The setup program to copy (default: the description's stub key, "
                                                   "then Setup.exe beside makesetup, then in ../share/makesetup)");
    buildCommand->add_option("--uninstaller", build.Uninstaller,
                             "Add this companion uninstaller to the install folder as Uninstall.exe (the "
                             "description's uninstaller key does the same)");
    buildCommand->add_option("--icon", build.Icon, "The setup executable's icon, an .ico file (the description's "
                                                   "icon key does the same)");
    buildCommand->add_option("-D,--define", build.Defines, "NAME=VALUE for ${NAME} in the description")
        ->allow_extra_args(false);
    buildCommand->add_flag("-q,--quiet", build.Quiet, "No summary and no progress bar");
    buildCommand
        ->add_option("--compression", build.Compression,
                     "none (the plain layout), fast or best (one zstd stream); wins over the description's key")
        ->check(CLI::IsMember({"none", "fast", "best"}));
    buildCommand->add_option("--sign-command", build.SignCommand,
                             "Sign the built file (and the companion uninstaller first) with this command, {in} and "
                             "{out} standing for the files, then seal it (the description's [sign] does the same)");

    std::string listFile;
    bool json = false;
    CLI::App* listCommand = app.add_subcommand("list", "Show the header and the four tables of a setup executable "
                                                       "or " + std::string(UninstallContract::kDataFileName));
    listCommand->add_option("FILE", listFile, "The package file")->required();
    listCommand->add_flag("--json", json, "Print JSON for scripts");
    unsigned listCodePage = CodePage::kDefault;
    AddCodePage(listCommand, listCodePage);

    std::string verifyFile;
    CLI::App* verifyCommand = app.add_subcommand("verify", "Check a package file: trailer, tables, file data, "
                                                           "checksum");
    verifyCommand->add_option("FILE", verifyFile, "The package file")->required();
    unsigned verifyCodePage = CodePage::kDefault;
    AddCodePage(verifyCommand, verifyCodePage);

    TExtractArguments extract;
    CLI::App* extractCommand = app.add_subcommand("extract", "Write the files of a setup executable (or of the setup "
                                                             "executable an " + std::string(UninstallContract::kDataFileName) + " names) below a folder");
    extractCommand->add_option("FILE", extract.File, "The package file")->required();
    extractCommand->add_option("-o,--output", extract.Output, "The folder to write below (created when missing)");
    extractCommand->add_option("--from", extract.From, "The setup executable that holds the data of an uninstall "
                                                       "data file");
    extractCommand->add_flag("--list", extract.List, "Show what would be written, write nothing");
    extractCommand->add_flag("-q,--quiet", extract.Quiet, "No summary and no progress bar");
    AddCodePage(extractCommand, extract.CodePage);

    std::string sealFile, sealOutput;
    CLI::App* sealCommand = app.add_subcommand("seal", "Make a setup executable signed after it was built whole "
                                                       "again: its trailer at the end, inside the signature");
    sealCommand->add_option("FILE", sealFile, "The signed setup executable")->required();
    sealCommand->add_option("-o,--output", sealOutput, "Write the sealed file here (default: rewrite FILE)");

    TWingetArguments winget;
    CLI::App* wingetCommand = app.add_subcommand(
        "winget", "Write winget's manifests (version, installer, default locale) for a setup executable built from "
                  "a description");
    wingetCommand->add_option("DESCRIPTION", winget.Read.Description, "The package description the setup was built from")
        ->required();
    wingetCommand->add_option("--installer", winget.Installer, "The setup executable (for its SHA-256 and what it "
                                                               "registers)")->required();
    wingetCommand->add_option("--url", winget.Url, "Where winget downloads the setup executable (http:// or https://)")
        ->required();
    wingetCommand->add_option("--id", winget.Id, "The package identifier, PUBLISHER.NAME")->required();
    wingetCommand->add_option("-o,--output", winget.Output, "The folder to write the manifests into (made when "
                                                            "missing)")->required();
    wingetCommand->add_option("--stub", winget.Read.Stub, "As for build: the stub the description is read with");
    wingetCommand->add_option("-D,--define", winget.Read.Defines, "As for build: NAME=VALUE for ${NAME}")
        ->allow_extra_args(false);
    wingetCommand->add_flag("-q,--quiet", winget.Read.Quiet, "Do not name the files written");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kOk : kUsage;
    }
    if (*buildCommand) return RunBuild(build);
    if (*listCommand) return RunList(listFile, json, listCodePage);
    if (*sealCommand) return RunSeal(sealFile, sealOutput);
    if (*wingetCommand) return RunWinget(winget);
    if (*extractCommand) {
        if (extract.Output.empty() && !extract.List) {
            std::fprintf(stderr, "makesetup extract: give the folder to write below with -o DIR (or --list)\n");
            return kUsage;
        }
        return RunExtract(extract);
    }
    return RunVerify(verifyFile, verifyCodePage);
}
