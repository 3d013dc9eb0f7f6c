// TVazuravAzoz: the one object that holds a loaded package and installs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "system/ByteStream.h"
#include "system/FileStream.h"
#include "system/Method.h"
#include "package/CompressedForm.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/RecordHead.h"

class TVazuravAzoz;

// A progress handler: Sender, Position, Text.
using TProgressEvent = TMethod<TVazuravAzoz*, std::int32_t, const std::string&>;

// What the progress report calls to let the user interface handle its pending
// window messages; the Win32 user-interface layer installs it. Null: nothing.
using TProcessMessages = void (*)();
void SetProcessMessages(TProcessMessages pump);

class TVazuravAzoz {
public:
    TVazuravAzoz() = default;  // Create: no tables, no handler, empty strings
    ~TVazuravAzoz();           // Destroy: releases the tables
    TVazuravAzoz(const TVazuravAzoz&) = delete;
    TVazuravAzoz& operator=(const TVazuravAzoz&) = delete;

    // Opens the named file and reads its trailer and four tables, and of the
    // compressed form the stream record and the CRC table, as `reading` says
    // (the setup program: both forms, the signed-part rules). The file stays
    // open, for the install's file data, until the object goes; meanwhile no
    // process can write, rename or delete it, so the bytes installed are the
    // bytes checked here. False when the trailer's magic is neither form's
    // (the file is closed again); raises EFOpenError, EReadError (a table
    // reaching past the end of the file, or a file shorter than the trailer),
    // ERangeError (a negative count) or ESignatureError (a signed file whose
    // package is not all signed).
    bool OpenPackage(const std::string& FileName, const TPackageReading& reading);
    // The same from any byte source, which CopyFiles then reads the file data
    // from: it must outlive the install. PackageFile is left as it is.
    bool LoadPackage(ByteSource& source, const TPackageReading& reading);

    std::int32_t GetTotalSteps() const { return TotalSteps; }
    std::string GetAppName() const { return Header.AppName.Text(); }
    std::string GetAuthor() const { return Header.Author.Text(); }
    std::string GetEmail() const { return Header.Email.Text(); }
    std::string GetWebsite() const { return Header.Website.Text(); }
    void SetOnProgress(TProgressEvent Handler) { OnProgress = Handler; }
    // Told of the steps the progress report leaves out (each registry value,
    // the uninstall data files), with Position unchanged; for a log.
    void SetOnStep(TProgressEvent Handler) { OnStep = Handler; }

    // Path resolution. SetInstallDir always returns true.
    bool SetInstallDir(const std::string& Dir);
    std::string ResolveDir(const std::string& BaseDir, const std::string& SubDir) const;
    std::string ResolvePath(const std::string& BaseDir, const std::string& SubDir, const std::string& FileName) const;
    std::string ExpandMacros(const std::string& Value) const;

    // The install run and its steps; each raises the error of what failed and
    // leaves what was done in place.
    void Install();
    void CreateDirs();
    void CopyFiles();
    // CopyFiles for the compressed form (InstallRun.cpp).
    void CopyFilesFromStream(ByteSource& package, std::vector<std::uint8_t>& buffer);
    void WriteRegistry();
    void CreateShellItems();
    void SetScreenSaver(const std::string& Path);
    void SetWallpaper(const std::string& Path);
    // Writes the uninstall data file into InstallDir; raises EFCreateError or EWriteError.
    // The records of an earlier install of this application there are kept
    // first, in the earlier installs' data file beside it.
    void SaveUninstallData();

    // Read access for tools and tests.
    const RecordHead::TPackHeader& GetHeader() const { return Header; }
    const std::vector<RecordHead::TFileItem>& GetFiles() const { return Files; }
    const std::vector<RecordHead::TDirItem>& GetDirs() const { return Dirs; }
    const std::vector<RecordHead::TShellItem>& GetShellItems() const { return ShellItems; }
    const std::vector<RecordHead::TRegItem>& GetRegItems() const { return RegItems; }
    PackageTablesView GetTables() const { return {Files, Dirs, ShellItems, RegItems}; }
    const std::string& GetPackageFile() const { return PackageFile; }
    // The compressed form's stream; nothing for the plain layout.
    const std::optional<CompressedForm::TStreamInfo>& GetStream() const { return Stream; }
    const std::string& GetInstallDir() const { return InstallDir; }
    std::int32_t GetPosition() const { return Position; }

private:
    // Counts one finished item, tells the handler, lets the interface run.
    void ReportProgress(const std::string& Text);
    void ReportStep(const std::string& Text);
    // After the package's values: the Programs and Features values of an
    // unattended removal, when the package asks for them.
    void WriteQuietUninstallValues();
    // The uninstaller's short path, or its long one when it has none.
    std::string UninstallCommand() const;
    void KeepEarlierRecords();

    std::int32_t TotalSteps = 0;
    std::int32_t Position = 0;
    RecordHead::TPackHeader Header{};
    std::vector<RecordHead::TDirItem> Dirs;
    std::vector<RecordHead::TShellItem> ShellItems;
    std::vector<RecordHead::TFileItem> Files;
    std::vector<RecordHead::TRegItem> RegItems;
    std::string PackageFile;
    std::optional<TFileStream> PackageStream;  // the file OpenPackage holds
    ByteSource* Package = nullptr;             // what the tables were read from
    TProgressEvent OnProgress;
    TProgressEvent OnStep;
    std::string InstallDir;
    std::optional<CompressedForm::TStreamInfo> Stream;  // the compressed form's file data
};
