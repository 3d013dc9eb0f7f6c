#include "tests/support/TestFiles.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("setup-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;  // a test that left a file open must not abort the run
    std::filesystem::remove_all(path_, ignored);
}

Bytes ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes PatternBytes(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

PackageBuilder& PackageBuilder::App(std::string name, std::string author, std::string email, std::string website) {
    name_ = std::move(name);
    author_ = std::move(author);
    email_ = std::move(email);
    website_ = std::move(website);
    return *this;
}

PackageBuilder& PackageBuilder::Stub(Bytes stub) {
    stub_ = std::move(stub);
    return *this;
}

PackageBuilder& PackageBuilder::File(std::string fileName, std::string baseDir, std::string subDir, Bytes data) {
    files_.push_back({std::move(fileName), std::move(baseDir), std::move(subDir), std::move(data)});
    return *this;
}

PackageBuilder& PackageBuilder::Dir(std::string baseDir, std::string subDir) {
    tables_.Dirs.push_back(MakeDirItem(baseDir, subDir));
    return *this;
}

PackageBuilder& PackageBuilder::Shell(std::uint8_t kind, std::string baseDir, std::string subDir,
                                      std::string fileName, std::string caption) {
    tables_.ShellItems.push_back(MakeShellItem(kind, baseDir, subDir, fileName, caption));
    return *this;
}

PackageBuilder& PackageBuilder::Reg(std::uint32_t rootKey, std::string key, std::string valueName,
                                    std::string valueData) {
    tables_.RegItems.push_back(MakeRegItem(rootKey, key, valueName, valueData));
    return *this;
}

Bytes PackageBuilder::Build() const {
    MemorySink sink;
    sink.Write(stub_.data(), stub_.size());
    PackageWriter writer(sink, stub_.size());
    PackageTables tables = tables_;
    for (const auto& f : files_) {
        const std::uint32_t offset = writer.AppendData(f.data.data(), f.data.size());
        tables.Files.push_back(
            MakeFileItem(f.fileName, f.baseDir, f.subDir, offset, static_cast<std::uint32_t>(f.data.size())));
    }
    writer.Finish(MakeHeader(name_, author_, email_, website_), tables.View());
    return sink.Bytes();
}
