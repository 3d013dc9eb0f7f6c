// Test helpers: a temporary folder, whole-file reads and writes, and a
// builder that lays out packages through the package writer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "package/PackageWriter.h"
#include "package/RecordHead.h"

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
Bytes PatternBytes(std::size_t size, std::uint32_t seed = 1);
Bytes TextBytes(const std::string& text);

class PackageBuilder {
public:
    PackageBuilder& App(std::string name, std::string author = {}, std::string email = {}, std::string website = {});
    PackageBuilder& Stub(Bytes stub);
    PackageBuilder& File(std::string fileName, std::string baseDir, std::string subDir, Bytes data);
    PackageBuilder& Dir(std::string baseDir, std::string subDir);
    PackageBuilder& Shell(std::uint8_t kind, std::string baseDir, std::string subDir, std::string fileName,
                          std::string caption);
    PackageBuilder& Reg(std::uint32_t rootKey, std::string key, std::string valueName, std::string valueData);

    // Stub, file data, tables, header.
    Bytes Build() const;
    void WriteTo(const std::filesystem::path& path) const { WriteFileBytes(path, Build()); }

private:
    struct FileEntry {
        std::string fileName, baseDir, subDir;
        Bytes data;
    };
    std::string name_, author_, email_, website_;
    Bytes stub_;
    std::vector<FileEntry> files_;
    PackageTables tables_;
};
