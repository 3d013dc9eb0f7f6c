// The install run: folders, files extracted from the package file, the
// registry, shell items, the uninstall data file. Nothing is rolled back.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "package/CompressedForm.h"
#include "package/UninstallContract.h"
#include "package/UninstallRecords.h"
#include "package/ZodiDuradad.h"
#include "system/Errors.h"
#include "system/FileStream.h"
#include "system/Handles.h"
#include "system/ReadAhead.h"
#include "system/SystemRules.h"
#include "system/uCustomModule.h"

using namespace RecordHead;

namespace {

// File data moves through one buffer of this size; no file is held whole.
constexpr std::size_t kCopyBufferSize = 0xF000;

// A registry handle as the install uses it: keys opened with full access and
// created when missing, values written as REG_SZ. A failed open leaves no key
// open, so the write after it fails.
class TRegistryWriter {
public:
    explicit TRegistryWriter(HKEY root = HKEY_CURRENT_USER) : root_(root) {}

    void SetRoot(HKEY root) { root_ = root; }
    void CloseKey() { key_.reset(); }

    // `path` lies below the root; one leading backslash is dropped.
    void OpenKey(std::string_view path) {
        CloseKey();
        if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
        HKEY opened = nullptr;
        if (::RegCreateKeyExA(root_, std::string(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &opened, nullptr) == ERROR_SUCCESS)
            key_.reset(opened);
    }

    // Raises ERegistryException "Failed to set data for '<name>'".
    void WriteString(const std::string& name, const std::string& value) {
        if (!key_ || ::RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
            Raise(ERegistryException(ErrorText::RegistrySetData(name)));
    }

private:
    HKEY root_;
    UniqueRegKey key_;
};

// Where a target's bytes go. A new target is written in place. An existing
// one is opened exclusively first, failing as creating it would (in use,
// read-only), and its new bytes go to a temporary file beside it that
// replaces it once complete: a copy that fails on the way (the package cut
// short, a full disk) leaves the older file as it was. A new target costs
// one CreateFile, as before.
class TTargetFile final : public ByteSink {
public:
    // Raises EFCreateError with the target's path.
    explicit TTargetFile(const std::string& target);
    // Raises EWriteError when the file takes less.
    void Write(const void* buffer, std::size_t count) override {
        (temporary_ ? temporary_->File() : *file_).Write(buffer, count);
    }
    // Closes the file and puts it in the target's place; raises EFCreateError.
    void Commit();

private:
    [[noreturn]] void RaiseCreateError() const {
        Raise(EFCreateError(ErrorText::FileCreate(target_, LastSystemErrorText())));
    }

    std::string target_;
    std::optional<TFileStream> file_;  // a new target
    UniqueFile existing_;              // an existing one, kept from others until it is replaced
    std::optional<TTemporaryFile> temporary_;
};

TTargetFile::TTargetFile(const std::string& target) : target_(target), file_(TFileStream::CreateNew(target)) {
    if (file_) return;
    const DWORD code = ::GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) RaiseCreateError();
    existing_.reset(::CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!existing_) RaiseCreateError();
    temporary_.emplace(target);
}

void TTargetFile::Commit() {
    file_.reset();
    if (!temporary_) return;
    existing_.reset();
    temporary_->Commit();
}

// Copies the bytes of an earlier target, which must be the `size` bytes with
// CRC-32 `crc` the package recorded; raises EReadError when they are not
// (the file was changed or replaced meanwhile).
void CopyEarlierTarget(const std::string& from, ByteSink& to, std::uint64_t size, std::uint32_t crc,
                       std::vector<std::uint8_t>& buffer) {
    TFileStream source = TFileStream::OpenRead(from);
    if (source.Size() != size) RaiseReadError();
    std::uint32_t got = 0;
    ReadChunks(source, size, buffer, [&](const std::uint8_t* bytes, std::size_t count) {
        got = CompressedForm::Crc32(got, bytes, count);
        to.Write(bytes, count);
    });
    if (got != crc) RaiseReadError();
}

}  // namespace

void TVazuravAzoz::Install() {
    Position = 0;
    CreateDirs();
    CopyFiles();
    WriteRegistry();
    CreateShellItems();
    SaveUninstallData();
}

void TVazuravAzoz::CreateDirs() {
    for (const TDirItem& item : Dirs) {
        const std::string dir = ResolveDir(item.BaseDir.Text(), item.SubDir.Text());
        // A folder that cannot be made would otherwise go missing while the
        // install reports success. ForceDirs can also answer true without
        // creating anything (a name with two trailing backslashes, or shorter
        // than three characters), so the folder itself is asked again.
        if (!DirExists(dir) && (!ForceDirs(dir) || !DirExists(dir))) {
            const DWORD code = ::GetLastError();
            Raise(EInOutError(std::string(ErrorText::CreateDirectory) + " \"" + dir + "\"",
                              code != 0 ? static_cast<int>(code) : ERROR_PATH_NOT_FOUND));
        }
        ReportProgress("Create directory " + dir);
    }
}

void TVazuravAzoz::CopyFiles() {
    // The file data comes through the handle the package was checked through.
    if (!Package) RaiseReadError();
    ByteSource& package = *Package;
    const std::uint64_t packageSize = package.Size();
    std::vector<std::uint8_t> buffer(kCopyBufferSize);
    if (Stream) {
        CopyFilesFromStream(package, buffer);
        return;
    }
    for (const TFileItem& item : Files) {
        const std::string target = ResolvePath(item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text());
        const std::uint64_t offset = item.Offset.Get();
        const std::uint64_t size = item.Size.Get();
        // Checked before the target is touched, so an existing file of that
        // name survives a package that cannot supply the bytes.
        if (offset > packageSize || size > packageSize - offset) RaiseReadError();
        package.Seek(offset);
        {
            TTargetFile file(target);
            CopyBytes(package, file, size, buffer);
            file.Commit();
        }
        ReportProgress("Copy file " + target);
    }
}

// The compressed form: records in table order, each either the next bytes
// of the decoded stream or a copy of an earlier record's target (checked
// against its CRC-32). The whole plan is checked before the first file.
void TVazuravAzoz::CopyFilesFromStream(ByteSource& package, std::vector<std::uint8_t>& buffer) {
    const std::vector<CompressedForm::TFileSource> plan = CompressedForm::PlanSources(Files, Stream->Record.DataSize.Get());
    // Decoded on a second thread while this one writes the files.
    std::vector<std::uint64_t> streamed;
    for (std::size_t i = 0; i < Files.size(); ++i)
        if (plan[i].How == CompressedForm::TFileSource::Stream) streamed.push_back(Files[i].Size.Get());
    TReadAhead stream(package, Stream->Record.StreamOffset.Get(), Stream->Record.StreamSize.Get(), std::move(streamed));
    const auto targetOf = [this](const TFileItem& item) {
        return ResolvePath(item.BaseDir.Text(), item.SubDir.Text(), item.FileName.Text());
    };
    for (std::size_t i = 0; i < Files.size(); ++i) {
        const std::string target = targetOf(Files[i]);
        const std::uint64_t size = Files[i].Size.Get();
        {
            TTargetFile file(target);
            if (plan[i].How == CompressedForm::TFileSource::Stream)
                stream.CopyTo(file, size);
            else if (plan[i].How == CompressedForm::TFileSource::Copy)
                CopyEarlierTarget(targetOf(Files[plan[i].From]), file, size, Stream->Crcs[i], buffer);
            file.Commit();
        }
        ReportProgress("Copy file " + target);
    }
    // Reading past the last byte checks the stream's own checksum; no bytes may be left.
    if (!stream.AtEnd()) RaiseReadError();
}

std::string TVazuravAzoz::UninstallCommand() const {
    const std::string uninstaller =
        ResolvePath(std::string(RecordHead::kInstallDir), "", std::string(UninstallContract::kUninstallerName));
    const std::string shortPath = GetShortPath(uninstaller);
    return shortPath.empty() ? uninstaller : shortPath;
}

void TVazuravAzoz::WriteRegistry() {
    {
        using namespace UninstallContract;
        TRegistryWriter uninstall(RootKeyOf(kRegistrationRoot));
        const std::string key = RegistrationKeyOf(GetAppName());
        uninstall.OpenKey(key);
        uninstall.WriteString(std::string(kDisplayNameValue), GetAppName());
        ReportStep(RegistryStepText(kRegistrationRoot, key, kDisplayNameValue, '"' + GetAppName() + '"'));
        const std::string command = UninstallCommand();
        uninstall.WriteString(std::string(kUninstallStringValue), command);
        ReportStep(RegistryStepText(kRegistrationRoot, key, kUninstallStringValue, '"' + command + '"'));
    }
    TRegistryWriter values;
    for (const TRegItem& item : RegItems) {
        values.CloseKey();
        values.SetRoot(RootKeyOf(item.RootKey.Get()));
        values.OpenKey(item.Key.Text());
        const std::string text = ExpandMacros(item.ValueData.Text());
        values.WriteString(item.ValueName.Text(), text);
        ReportStep(RegistryStepText(item.RootKey.Get(), item.Key.Text(), item.ValueName.Text(), '"' + text + '"'));
    }
    WriteQuietUninstallValues();
}
