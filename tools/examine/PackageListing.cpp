#include "tools/examine/PackageListing.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "package/CompressedForm.h"
#include "package/CompressedReading.h"
#include "package/PeImage.h"
#include "package/RegistryRoots.h"
#include "system/Errors.h"
#include "system/LittleEndian.h"
#include "tools/examine/PackageData.h"
#include "tools/platform/ToolErrors.h"
#include "tools/platform/CodePage.h"
#include "tools/platform/Crc32.h"
#include "tools/signature/SignatureReport.h"

using namespace RecordHead;
using Json = nlohmann::ordered_json;  // keys in the order written

namespace {

constexpr std::uint64_t kHeaderSize = sizeof(TPackHeader);
constexpr std::uint64_t kReservedAt = offsetof(TPackHeader, Reserved);

std::string Hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

template <std::size_t N>
std::string Utf8(const TextField<N>& field, unsigned codePage) {
    return CodePage::ToUtf8(codePage, field.Text());
}

std::string RootName(std::uint32_t root) {
    const std::string_view name = RegistryRoots::NameOf(root);
    return name.empty() ? Hex(root) : std::string(name);
}

// Characters of a UTF-8 cell, for padding the columns.
std::size_t Columns(const std::string& cell) {
    return static_cast<std::size_t>(
        std::count_if(cell.begin(), cell.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Columns padded to their widest cell; the last column is not padded.
class TTable {
public:
    explicit TTable(std::vector<std::string> head) { rows_.push_back(std::move(head)); }
    void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    std::string Text() const {
        std::vector<std::size_t> width(rows_[0].size(), 0);
        for (const auto& row : rows_)
            for (std::size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], Columns(row[i]));
        std::string out;
        for (const auto& row : rows_) {
            std::string line = "  ";
            for (std::size_t i = 0; i < row.size(); ++i)
                line += i + 1 < row.size() ? row[i] + std::string(width[i] - Columns(row[i]) + 2, ' ') : row[i];
            while (!line.empty() && line.back() == ' ') line.pop_back();
            out += line + "\n";
        }
        return out;
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

std::string Shown(const std::string& text) { return text.empty() ? "\"\"" : text; }

}  // namespace

// The layout the setup program writes into the uninstall data file: the tables
// contiguous from offset 0, then the header, no checksum.
bool IsUninstallLayout(const TPackHeader& h, std::uint64_t size) {
    std::uint64_t at = 0;
    for (const TTableSpan& t : TableSpans(h)) {
        if (t.Offset != at || t.Count < 0) return false;
        at += std::uint64_t(t.Count) * t.RecordSize;
    }
    return h.Reserved.Get() == 0 && at + kHeaderSize == size;
}

namespace {

std::string Plural(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void CheckTables(const TPackHeader& h, std::uint64_t size, std::vector<std::string>& problems) {
    const std::uint64_t trailer = size - kHeaderSize;
    for (const TTableSpan& t : TableSpans(h)) {
        if (t.Count < 0) {
            problems.push_back("the " + std::string(t.Name.Name) + " has a negative count (" + std::to_string(t.Count) + ")");
            continue;
        }
        if (t.Count == 0) continue;
        const std::uint64_t end = t.End();
        const std::string what = "the " + std::string(t.Name.Name) + " (" + Plural(t.Count, "record", "records") + " of " +
                                 std::to_string(t.RecordSize) + " bytes at offset " + std::to_string(t.Offset) +
                                 ", ending at " + std::to_string(end) + ")";
        if (end > size)
            problems.push_back(what + " reaches past the end of the file (" + std::to_string(size) + " bytes)");
        else if (end > trailer)
            problems.push_back(what + " runs into the trailer at offset " + std::to_string(trailer));
    }
}

// Returns the bytes the records share.
std::uint64_t CheckFileData(ByteSource& file, const TPackHeader& h, std::uint64_t size, unsigned codePage,
                            std::vector<std::string>& problems) {
    const std::int32_t count = h.FileCount.Get();
    if (count <= 0 || h.FileOffset.Get() + std::uint64_t(count) * sizeof(TFileItem) > size) return 0;
    std::vector<TFileItem> files(static_cast<std::size_t>(count));
    file.Seek(h.FileOffset.Get());
    file.ReadExact(files.data(), files.size() * sizeof(TFileItem));
    const std::uint64_t trailer = size - kHeaderSize;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint64_t end = std::uint64_t(files[i].Offset.Get()) + files[i].Size.Get();
        if (end <= trailer) continue;
        problems.push_back("file " + std::to_string(i) + " \"" + Utf8(files[i].FileName, codePage) + "\" (" +
                           std::to_string(files[i].Size.Get()) + " bytes at offset " +
                           std::to_string(files[i].Offset.Get()) + ") " +
                           (end > size ? "reaches past the end of the file (" + std::to_string(size) + " bytes)"
                                       : "runs into the trailer at offset " + std::to_string(trailer)));
    }
    return SharedBytes(files);
}

// Why a compressed package the reader refused may be so: one of the earlier
// form, which kept its tables plain, or tables its frame cannot hold.
std::string CompressedHint(ByteSource& file, const TPackHeader& h) {
    if (h.FileOffset.Get() < sizeof(CompressedForm::TStreamRecord) || h.FileOffset.Get() > file.Size()) return {};
    CompressedForm::TStreamRecord r;
    file.Seek(CompressedForm::StreamRecordOffset(h));
    if (file.Read(&r, sizeof r) != sizeof r) return {};
    if (r.Codec.Text() == "zst")
        return " (made by an earlier makesetup, which stored the tables plain: build it again)";
    try {
        const std::uint64_t tables = CompressedForm::DecodedTablesSize(h);
        if (tables > CompressedForm::MaxFrameRatio * r.TablesSize.Get())
            return " (" + std::to_string(tables) + " bytes of tables cannot come from a " +
                   std::to_string(r.TablesSize.Get()) + "-byte frame)";
    } catch (const Exception&) {
        return " (the tables do not follow each other from offset " + std::to_string(h.FileOffset.Get()) +
               " in the decoded frame, or come to more than " + std::to_string(CompressedForm::MaxTablesSize) +
               " bytes)";
    }
    return {};
}

std::string Counts(const TPackHeader& h) {
    return Plural(h.FileCount.Get(), "file", "files") + ", " + Plural(h.DirCount.Get(), "folder", "folders") + ", " +
           Plural(h.ShellCount.Get(), "shell item", "shell items") + ", " +
           Plural(h.RegCount.Get(), "registry value", "registry values");
}

}  // namespace

namespace {

// Where the PE CheckSum field is, in a file that is a PE32 image.
std::optional<std::uint64_t> PeChecksumField(ByteSource& file) {
    const auto layout = PeImage::ReadLayout(file);
    if (!layout) return std::nullopt;
    return layout->checksumOffset;
}

// The CRC-32 of the file with the four bytes at each of `zeroed` taken as
// zero; `image`, when given, hears every byte as it is.
std::uint32_t CrcWithZeros(ByteSource& file, std::initializer_list<std::uint64_t> zeroed, PeImage::TChecksum* image = nullptr) {
    const std::uint64_t size = file.Size();
    std::vector<std::uint8_t> buffer(1u << 20);
    TCrc32 crc;
    file.Seek(0);
    std::uint64_t at = 0;
    ReadChunks(file, size, buffer, [&](std::uint8_t* bytes, std::size_t chunk) {
        if (image) image->Add(bytes, chunk);
        for (const std::uint64_t field : zeroed)
            for (std::uint64_t b = std::max(at, field); b < std::min(at + chunk, field + 4); ++b)
                bytes[static_cast<std::size_t>(b - at)] = 0;
        crc.Update(bytes, chunk);
        at += chunk;
    });
    return crc.Value();
}

std::uint64_t ReservedAt(std::uint64_t size) { return size >= kHeaderSize ? size - kHeaderSize + kReservedAt : size; }

}  // namespace

std::uint32_t PackageChecksum(ByteSource& file) {
    const std::uint64_t reserved = ReservedAt(file.Size());
    if (const auto field = PeChecksumField(file)) return CrcWithZeros(file, {reserved, *field});
    return CrcWithZeros(file, {reserved});
}

std::uint64_t SharedBytes(const std::vector<TFileItem>& files) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> seen;
    std::uint64_t shared = 0;
    for (const TFileItem& f : files)
        if (f.Size.Get() > 0 && !seen.emplace(f.Offset.Get(), f.Size.Get()).second) shared += f.Size.Get();
    return shared;
}

std::string ShellKindName(std::uint8_t kind) {
    static constexpr std::array<const char*, 5> kNames = {"skCreateGroup", "skAddItem", "skNone", "skScreenSaver",
                                                          "skWallpaper"};
    return kind < kNames.size() ? kNames[kind] : "unknown";
}

std::string ListText(const std::string& path, std::uint64_t fileSize, const TPackageContents& package,
                     const std::string& signer, unsigned codePage) {
    const TPackHeader& h = package.Header;
    std::string out = path + ": " + std::to_string(fileSize) + " bytes\n\nHeader\n";
    TTable header({"Field", "Value"});
    header.Add({"AppName", Shown(Utf8(h.AppName, codePage))});
    header.Add({"Author", Shown(Utf8(h.Author, codePage))});
    header.Add({"Email", Shown(Utf8(h.Email, codePage))});
    header.Add({"Website", Shown(Utf8(h.Website, codePage))});
    header.Add({"Reserved", Hex(h.Reserved.Get()) + (h.Reserved.Get() == 0 ? " (no checksum)" : " (checksum)")});
    if (!signer.empty()) header.Add({"Signer", signer});
    if (package.Stream) header.Add({"Form", FormText(package)});
    if (const std::uint64_t shared = SharedBytes(package.Tables.Files))
        header.Add({"Shared", std::to_string(shared) + " bytes (files with the same data stored once)"});
    for (const TTableSpan& t : TableSpans(h))
        header.Add({std::string(t.Name.Label), Plural(t.Count, "record", "records") + " at offset " + std::to_string(t.Offset)});
    out += header.Text();

    out += "\nFiles (" + std::to_string(package.Tables.Files.size()) + ")\n";
    TTable files({"#", "BaseDir", "SubDir", "FileName", "Offset", "Size"});
    for (std::size_t i = 0; i < package.Tables.Files.size(); ++i) {
        const TFileItem& f = package.Tables.Files[i];
        files.Add({std::to_string(i), Shown(Utf8(f.BaseDir, codePage)), Shown(Utf8(f.SubDir, codePage)), Shown(Utf8(f.FileName, codePage)),
                   std::to_string(f.Offset.Get()), std::to_string(f.Size.Get())});
    }
    out += files.Text();

    out += "\nDirs (" + std::to_string(package.Tables.Dirs.size()) + ")\n";
    TTable dirs({"#", "BaseDir", "SubDir"});
    for (std::size_t i = 0; i < package.Tables.Dirs.size(); ++i)
        dirs.Add({std::to_string(i), Shown(Utf8(package.Tables.Dirs[i].BaseDir, codePage)), Shown(Utf8(package.Tables.Dirs[i].SubDir, codePage))});
    out += dirs.Text();

    out += "\nShellItems (" + std::to_string(package.Tables.ShellItems.size()) + ")\n";
    TTable shell({"#", "Kind", "BaseDir", "SubDir", "FileName", "Caption"});
    for (std::size_t i = 0; i < package.Tables.ShellItems.size(); ++i) {
        const TShellItem& s = package.Tables.ShellItems[i];
        shell.Add({std::to_string(i), std::to_string(s.Kind) + " " + ShellKindName(s.Kind), Shown(Utf8(s.BaseDir, codePage)),
                   Shown(Utf8(s.SubDir, codePage)), Shown(Utf8(s.FileName, codePage)), Shown(Utf8(s.Caption, codePage))});
    }
    out += shell.Text();

    out += "\nRegItems (" + std::to_string(package.Tables.RegItems.size()) + ")\n";
    TTable reg({"#", "RootKey", "Key", "ValueName", "ValueData"});
    for (std::size_t i = 0; i < package.Tables.RegItems.size(); ++i) {
        const TRegItem& r = package.Tables.RegItems[i];
        reg.Add({std::to_string(i), RootName(r.RootKey.Get()), Shown(Utf8(r.Key, codePage)), Shown(Utf8(r.ValueName, codePage)),
                 Shown(Utf8(r.ValueData, codePage))});
    }
    return out + reg.Text();
}

std::string ListJson(const std::string& path, std::uint64_t fileSize, const TPackageContents& package,
                     const std::string& signer, unsigned codePage) {
    const TPackHeader& h = package.Header;
    Json header = {{"Magic", Utf8(h.Magic, codePage)},
                   {"AppName", Utf8(h.AppName, codePage)},
                   {"Author", Utf8(h.Author, codePage)},
                   {"Email", Utf8(h.Email, codePage)},
                   {"Website", Utf8(h.Website, codePage)},
                   {"Reserved", h.Reserved.Get()},
                   {"RegCount", h.RegCount.Get()},
                   {"RegOffset", h.RegOffset.Get()},
                   {"FileCount", h.FileCount.Get()},
                   {"FileOffset", h.FileOffset.Get()},
                   {"ShellCount", h.ShellCount.Get()},
                   {"ShellOffset", h.ShellOffset.Get()},
                   {"DirCount", h.DirCount.Get()},
                   {"DirOffset", h.DirOffset.Get()}};
    Json files = Json::array(), dirs = Json::array(), shellItems = Json::array(), regItems = Json::array();
    for (const TFileItem& f : package.Tables.Files)
        files.push_back({{"FileName", Utf8(f.FileName, codePage)},
                         {"BaseDir", Utf8(f.BaseDir, codePage)},
                         {"SubDir", Utf8(f.SubDir, codePage)},
                         {"Offset", f.Offset.Get()},
                         {"Size", f.Size.Get()}});
    for (const TDirItem& d : package.Tables.Dirs) dirs.push_back({{"BaseDir", Utf8(d.BaseDir, codePage)}, {"SubDir", Utf8(d.SubDir, codePage)}});
    for (const TShellItem& s : package.Tables.ShellItems)
        shellItems.push_back({{"Kind", s.Kind},
                              {"KindName", ShellKindName(s.Kind)},
                              {"BaseDir", Utf8(s.BaseDir, codePage)},
                              {"SubDir", Utf8(s.SubDir, codePage)},
                              {"FileName", Utf8(s.FileName, codePage)},
                              {"Caption", Utf8(s.Caption, codePage)}});
    for (const TRegItem& r : package.Tables.RegItems)
        regItems.push_back({{"RootKey", r.RootKey.Get()},
                            {"RootName", RegistryRoots::NameOf(r.RootKey.Get())},
                            {"Key", Utf8(r.Key, codePage)},
                            {"ValueName", Utf8(r.ValueName, codePage)},
                            {"ValueData", Utf8(r.ValueData, codePage)}});
    Json listing = {{"File", path}, {"FileSize", fileSize}};
    if (!signer.empty()) listing["Signer"] = signer;
    listing["Header"] = std::move(header);
    if (const std::uint64_t shared = SharedBytes(package.Tables.Files)) listing["SharedBytes"] = shared;
    if (const auto& stream = package.Stream)
        listing["Stream"] = {{"Codec", stream->Record.Codec.Text()},
                             {"WindowLog", stream->Record.WindowLog.Get()},
                             {"StreamOffset", stream->Record.StreamOffset.Get()},
                             {"StreamSize", stream->Record.StreamSize.Get()},
                             {"DataSize", stream->Record.DataSize.Get()},
                             {"CrcOffset", stream->Record.CrcOffset.Get()},
                             {"TablesSize", stream->Record.TablesSize.Get()}};
    listing["Files"] = std::move(files);
    listing["Dirs"] = std::move(dirs);
    listing["ShellItems"] = std::move(shellItems);
    listing["RegItems"] = std::move(regItems);
    // A path that is not UTF-8 (a Linux file name may be any bytes) is shown
    // with U+FFFD rather than failing the whole listing.
    return listing.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

// The package's CRC and, in a PE image, the image checksum makesetup sets
// over the whole file. Packages from before makesetup set it kept the
// stub's and counted it in the CRC: those match the CRC that way.
std::string CheckChecksums(ByteSource& file, std::uint32_t recorded, std::vector<std::string>& problems) {
    const std::uint64_t reserved = ReservedAt(file.Size());
    const auto field = PeChecksumField(file);
    std::optional<PeImage::TChecksum> image;
    if (field) image.emplace(static_cast<std::uint32_t>(*field));
    std::uint32_t computed = field ? CrcWithZeros(file, {reserved, *field}, &*image) : CrcWithZeros(file, {reserved});
    if (computed == recorded && image) {
        std::uint8_t bytes[4];
        file.Seek(*field);
        file.ReadExact(bytes, 4);
        const std::uint32_t stored = LittleEndian::Load32(bytes);
        if (stored != image->Value())
            problems.push_back("PE checksum mismatch: the image header records " + Hex(stored) + ", the file's bytes give " +
                               Hex(image->Value()));
    } else if (field) {
        computed = CrcWithZeros(file, {reserved});
    }
    if (computed != recorded) {
        problems.push_back("checksum mismatch: the header records " + Hex(recorded) + ", the file's bytes give " +
                           Hex(computed) + " (changed or damaged after it was built)");
        return {};
    }
    return "checksum " + Hex(computed) + " matches";
}

}  // namespace

TVerifyReport VerifyPackage(ByteSource& file, unsigned codePage) {
    TVerifyReport report;
    const std::uint64_t size = file.Size();
    const std::optional<TSignatureCheck> signature = CheckSignature(file);
    if (signature) report.Problems = signature->Problems;
    if (size < kHeaderSize) {
        report.Problems.push_back(std::to_string(size) + " bytes, too short for the 552-byte package trailer");
        return report;
    }
    TPackHeader h{};
    file.Seek(size - kHeaderSize);
    file.ReadExact(&h, sizeof h);
    const bool compressed = CompressedForm::IsCompressedHeader(h);
    if (!IsValidHeader(h) && !compressed) {
        if (signature && signature->TrailerCopy)
            report.Problems.push_back("signed after it was built but not sealed: the package trailer lies before the "
                                      "signature, where the setup program does not look; run \"makesetup seal\" on it");
        else
            report.Problems.push_back("no package trailer: the last 552 bytes do not begin with \"qzx\" and a NUL");
        return report;
    }
    if (signature) {
        const std::vector<std::string> outside = CheckSignedPackage(file, h, *signature);
        report.Problems.insert(report.Problems.end(), outside.begin(), outside.end());
    }
    // The compressed form's table offsets count in its decoded tables frame:
    // the reader checks them below.
    if (!compressed) CheckTables(h, size, report.Problems);
    const bool uninstallData = IsUninstallLayout(h, size);
    std::uint64_t shared = uninstallData || compressed ? 0 : CheckFileData(file, h, size, codePage, report.Problems);
    // The compressed form's records count in its decoded data: the stream is
    // decoded whole and each file checked against its CRC-32.
    std::string stream;
    if (compressed && report.Problems.empty()) {
        try {
            const std::optional<TPackageContents> read = ReadPackage(file, kFullReading);
            if (!read) throw ENotAPackage("no package trailer");
            const TPackageContents& package = *read;
            shared = SharedBytes(package.Tables.Files);
            stream = CheckStream(file, package, report.Problems);
        } catch (const Exception& e) {
            report.Problems.push_back("the compressed package cannot be read: " + e.Message() +
                                      CompressedHint(file, h));
        }
    }
    std::string checksum;
    if (h.Reserved.Get() == 0) {
        checksum = "no checksum";
    } else if (signature) {
        // The signer rewrote the PE header after the build; the signature's digest covers the package instead.
        checksum = "checksum not compared in a signed file";
    } else {
        checksum = CheckChecksums(file, h.Reserved.Get(), report.Problems);
    }
    report.Summary = Counts(h) + "; " + checksum +
                     (shared > 0 ? "; " + std::to_string(shared) + " bytes shared by files with the same data" : "") +
                     (stream.empty() ? "" : "; " + stream) +
                     (uninstallData ? "; an uninstall data file (its file data stays in the setup executable)" : "");
    if (signature)
        report.Summary += "; " + signature->Summary + "; sealed, the package lies inside the signed part";
    else if (!uninstallData)
        report.Summary += "; not signed";
    return report;
}

std::vector<std::string> TableProblems(ByteSource& file) {
    std::vector<std::string> problems;
    const std::uint64_t size = file.Size();
    if (size < kHeaderSize) return problems;
    TPackHeader h{};
    file.Seek(size - kHeaderSize);
    file.ReadExact(&h, sizeof h);
    if (IsValidHeader(h)) CheckTables(h, size, problems);
    return problems;
}
