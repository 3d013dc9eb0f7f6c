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
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "tools/Description.h"
#include "tools/PackageBuild.h"
#include "tools/PackageReport.h"
#include "tools/Platform.h"
#include "tools/Seal.h"
#include "tools/SignatureReport.h"
#include "tools/Signing.h"

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

struct TBuildArguments {
    std::string Description, Output, Stub, Uninstaller, Icon, SignCommand;
    std::vector<std::string> Defines;
    bool Quiet = false;
};

int RunBuild(const TBuildArguments& args) {
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
    const std::string description = Platform::FromNative(args.Description);
    TDiagnostics diagnostics;
    TPackagePlan plan = ReadDescription(description, options, diagnostics);
    std::vector<TDiagnostic> messages = diagnostics.Items();
    std::stable_sort(messages.begin(), messages.end(),
                     [](const TDiagnostic& a, const TDiagnostic& b) { return a.Where.Line < b.Where.Line; });
    for (const TDiagnostic& d : messages) std::fprintf(stderr, "%s\n", d.Format().c_str());
    if (diagnostics.HasErrors()) {
        std::fprintf(stderr, "makesetup: nothing written\n");
        return kFailed;
    }
    const std::string output = args.Output.empty() ? DefaultOutput(description) : Platform::FromNative(args.Output);
    TProgressBar bar;
    const bool showBar = !args.Quiet && Platform::StderrIsTerminal();
    const std::string signer = args.SignCommand.empty() ? plan.SignCommand : args.SignCommand;
    try {
        const TBuildProgress progress = showBar ? TBuildProgress(std::ref(bar)) : TBuildProgress();
        const TBuildSummary summary = signer.empty() ? WritePackage(plan, output, progress)
                                                     : Signing::WriteSignedPackage(plan, output, signer, progress);
        if (!args.Quiet)
            std::printf("%s: %llu bytes, %s, checksum 0x%08X%s\n", output.c_str(),
                        static_cast<unsigned long long>(summary.Size), PlanCounts(plan).c_str(), summary.Checksum,
                        signer.empty() ? "" : ", signed and sealed");
        return kOk;
    } catch (const Exception& e) {
        bar.Close();
        std::fprintf(stderr, "makesetup: %s; nothing written\n", e.Message().c_str());
        return kFailed;
    }
}

// Opens `path` for list and verify; prints the error and returns false.
bool OpenInput(const std::string& path, std::optional<TFileStream>& file) {
    try {
        file.emplace(TFileStream::OpenRead(Platform::ToNative(path)));
        return true;
    } catch (const Exception& e) {
        std::fprintf(stderr, "makesetup: %s\n", e.Message().c_str());
        return false;
    }
}

int RunList(const std::string& nativePath, bool json) {
    const std::string path = Platform::FromNative(nativePath);
    std::optional<TFileStream> file;
    if (!OpenInput(path, file)) return kFailed;
    TVazuravAzoz package;
    try {
        if (!package.LoadPackage(*file)) {
            std::fprintf(stderr, "%s: not a package: the last 552 bytes do not begin with \"qzx\" and a NUL\n",
                         path.c_str());
            return kFailed;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s (run \"makesetup verify\" for details)\n", path.c_str(), e.Message().c_str());
        return kFailed;
    }
    const std::string signer = SignerText(*file);
    const std::string text =
        json ? ListJson(path, file->Size(), package, signer) : ListText(path, file->Size(), package, signer);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

int RunVerify(const std::string& nativePath) {
    const std::string path = Platform::FromNative(nativePath);
    std::optional<TFileStream> file;
    if (!OpenInput(path, file)) return kFailed;
    TVerifyReport report;
    try {
        report = VerifyPackage(*file);
    } catch (const Exception& e) {
        report.Problems.push_back(e.Message());
    }
    for (const std::string& problem : report.Problems) std::fprintf(stderr, "%s: %s\n", path.c_str(), problem.c_str());
    if (!report.Ok()) return kFailed;
    std::printf("%s: OK: %s\n", path.c_str(), report.Summary.c_str());
    return kOk;
}

int RunSeal(const std::string& nativeIn, const std::string& nativeOut) {
    const std::string in = Platform::FromNative(nativeIn);
    const std::string out = nativeOut.empty() ? in : Platform::FromNative(nativeOut);
    try {
        const Seal::TSealResult result = Seal::SealFile(in, out);
        std::printf("%s: %s, %llu bytes; the package trailer at offset %llu lies inside the signature\n", out.c_str(),
                    result.AlreadySealed ? "already sealed, unchanged" : "sealed",
                    static_cast<unsigned long long>(result.Size), static_cast<unsigned long long>(result.TrailerCopy));
        return kOk;
    } catch (const Seal::ESealError& e) {
        std::fprintf(stderr, "%s: cannot seal: %s\n", in.c_str(), e.what());
        return kFailed;
    }
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
    buildCommand->add_option("--sign-command", build.SignCommand,
                             "Sign the built file (and the companion uninstaller first) with this command, {in} and "
                             "{out} standing for the files, then seal it (the description's [sign] does the same)");

    std::string listFile;
    bool json = false;
    CLI::App* listCommand = app.add_subcommand("list", "Show the header and the four tables of a setup executable "
                                                       "or " + std::string(UninstallContract::kDataFileName));
    listCommand->add_option("FILE", listFile, "The package file")->required();
    listCommand->add_flag("--json", json, "Print JSON for scripts");

    std::string verifyFile;
    CLI::App* verifyCommand = app.add_subcommand("verify", "Check a package file: trailer, tables, file data, "
                                                           "checksum");
    verifyCommand->add_option("FILE", verifyFile, "The package file")->required();

    std::string sealFile, sealOutput;
    CLI::App* sealCommand = app.add_subcommand("seal", "Make a setup executable signed after it was built whole "
                                                       "again: its trailer at the end, inside the signature");
    sealCommand->add_option("FILE", sealFile, "The signed setup executable")->required();
    sealCommand->add_option("-o,--output", sealOutput, "Write the sealed file here (default: rewrite FILE)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kOk : kUsage;
    }
    if (*buildCommand) return RunBuild(build);
    if (*listCommand) return RunList(listFile, json);
    if (*sealCommand) return RunSeal(sealFile, sealOutput);
    return RunVerify(verifyFile);
}
