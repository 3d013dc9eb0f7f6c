#include "tools/examine/Unpack.h"

#include <algorithm>
#include <array>
#include <map>

#include "tools/description/PackagePaths.h"
#include "tools/examine/SafeFolder.h"
#include "tools/platform/CodePage.h"

using namespace RecordHead;

namespace {

constexpr std::array<std::string_view, 3> kBaseKeywords = {kInstallDir, kWindowsDir, kSystem32Dir};
constexpr std::size_t kBufferSize = 1u << 20;

// Windows opens a device for these names in any folder, in any case, with
// any extension, and with blanks or dots before it ("CON .txt"); its COM
// and LPT ports also take the superscript digits one to three.
bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    const std::string folded = PackagePaths::Folded(stem);
    static constexpr std::array<std::string_view, 7> kNamed = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
    if (std::find(kNamed.begin(), kNamed.end(), folded) != kNamed.end()) return true;
    if (!folded.starts_with("com") && !folded.starts_with("lpt")) return false;
    const std::string_view number = std::string_view(folded).substr(3);
    static constexpr std::array<std::string_view, 3> kSuperscripts = {"\u00B9", "\u00B2", "\u00B3"};
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') ||
           std::find(kSuperscripts.begin(), kSuperscripts.end(), number) != kSuperscripts.end();
}

// Why one folder or file name (UTF-8) cannot be written, or "".
std::string NameProblem(const std::string& name) {
    if (name == "." || name == "..") return "\"" + name + "\" would leave its folder";
    for (const char c : name) {
        if (c == '/') return "a forward slash is a separator on Windows";
        if (c == ':') return "a colon names a drive or a stream";
        if (static_cast<unsigned char>(c) < 0x20) return "a control character";
        if (std::string_view("<>\"|?*").find(c) != std::string_view::npos)
            return std::string("\"") + c + "\" cannot appear in a Windows file name";
    }
    if (name.back() == '.' || name.back() == ' ')
        return "a name ending in a dot or a blank means another name on Windows";
    if (IsDeviceName(name)) return "\"" + name + "\" names a device on Windows";
    return {};
}

// Splits SubDir or FileName into names; appends them to `parts`.
std::string SplitNames(std::string_view raw, unsigned codePage, bool fileName, std::vector<std::string>& parts) {
    if (raw.empty()) return fileName ? "the file name is empty" : "";
    const std::vector<std::string> names = CodePage::SplitBackslash(codePage, raw);
    if (names.front().empty()) return "a leading backslash makes an absolute or network path";
    for (std::size_t i = 0; i < names.size(); ++i) {
        // A doubled separator is one on Windows; a trailing one leaves no file name.
        if (names[i].empty()) {
            if (fileName && i + 1 == names.size()) return "the file name is empty";
            continue;
        }
        const auto text = CodePage::ToUtf8Exact(codePage, names[i]);
        if (!text) return "bytes without a character in " + CodePage::Name(codePage);
        if (const std::string problem = NameProblem(*text); !problem.empty()) return problem;
        parts.push_back(*text);
    }
    return {};
}

TExtractEntry Check(std::size_t index, const TFileItem& file, unsigned codePage, std::uint64_t dataSize) {
    TExtractEntry entry;
    entry.Index = index;
    entry.Offset = file.Offset.Get();
    entry.Size = file.Size.Get();
    const std::string base = file.BaseDir.Text();
    entry.Name = CodePage::ToUtf8(codePage, PackagePaths::Join(PackagePaths::Join(base, file.SubDir.Text()),
                                                                file.FileName.Text()));
    if (std::find(kBaseKeywords.begin(), kBaseKeywords.end(), base) == kBaseKeywords.end()) {
        entry.Problem = "the base \"" + CodePage::ToUtf8(codePage, base) +
                        "\" is not InstallDir, WindowsDir or System32Dir";
        return entry;
    }
    entry.Parts.push_back(base);
    std::string problem = SplitNames(file.SubDir.Text(), codePage, false, entry.Parts);
    if (problem.empty()) problem = SplitNames(file.FileName.Text(), codePage, true, entry.Parts);
    if (problem.empty() && std::uint64_t(entry.Offset) + entry.Size > dataSize)
        problem = "its data (" + std::to_string(entry.Size) + " bytes at offset " + std::to_string(entry.Offset) +
                  ") lies past the end of the file";
    if (!problem.empty()) {
        entry.Problem = problem;
        entry.Parts.clear();
    }
    return entry;
}

// Gives each folder level the spelling it had first, so that names which
// differ only in case land in one folder, as they do on Windows.
void UnifyCase(std::vector<TExtractEntry>& plan) {
    std::map<std::string, std::string> spelling;  // folded path -> first spelling of its last name
    for (TExtractEntry& entry : plan) {
        std::string folded;
        for (std::string& part : entry.Parts) {
            folded += '/' + PackagePaths::Folded(part);
            const auto [it, fresh] = spelling.emplace(folded, part);
            if (!fresh) part = it->second;
        }
    }
}

}  // namespace

std::string TExtractEntry::Target() const {
    std::string target;
    for (const std::string& part : Parts) target += (target.empty() ? "" : "/") + part;
    return target;
}

std::vector<TExtractEntry> PlanExtraction(const std::vector<TFileItem>& files, unsigned codePage,
                                          std::uint64_t dataSize) {
    std::vector<TExtractEntry> plan;
    for (std::size_t i = 0; i < files.size(); ++i) plan.push_back(Check(i, files[i], codePage, dataSize));
    UnifyCase(plan);
    std::map<std::string, std::size_t> last;
    for (const TExtractEntry& entry : plan)
        if (!entry.Refused()) last[entry.Target()] = entry.Index;
    for (TExtractEntry& entry : plan)
        if (!entry.Refused() && last[entry.Target()] != entry.Index) entry.ReplacedBy = last[entry.Target()];
    return plan;
}

TExtractResult ExtractFiles(const std::vector<TExtractEntry>& plan, ByteSource& data, TSafeFolder& folder,
                            const TExtractProgress& progress) {
    TExtractResult result;
    std::uint64_t total = 0, done = 0;
    for (const TExtractEntry& entry : plan)
        if (entry.Written()) total += entry.Size;
    std::vector<std::uint8_t> buffer(kBufferSize);
    for (const TExtractEntry& entry : plan) {
        if (!entry.Written()) continue;
        const std::vector<std::string> folders(entry.Parts.begin(), entry.Parts.end() - 1);
        const std::uint64_t before = done;
        try {
            folder.WriteFile(folders, entry.Parts.back(), [&](const TSafeFolder::TSink& write) {
                data.Seek(entry.Offset);
                ReadChunks(data, entry.Size, buffer, [&](const std::uint8_t* bytes, std::size_t count) {
                    write(bytes, count);
                    done += count;
                    if (progress) progress(done, total);
                });
            });
            ++result.Written;
            result.Bytes += entry.Size;
        } catch (const ESafeFolder& e) {
            result.Failures.push_back("entry " + std::to_string(entry.Index) + " \"" + entry.Name + "\": " + e.what());
            done = before + entry.Size;
            if (progress) progress(done, total);
        }
    }
    return result;
}
