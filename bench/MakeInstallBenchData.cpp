// Writes the data sets of the install benchmark and a package of each:
//   install_bench_data WORK
// WORK/big/big.bin (1 GiB) and big.pkg; WORK/many/dNN/fNNNNN.dat (20,000 files
// of 1 to 8191 bytes in 100 folders) and many.pkg. File data is streamed into
// the packages; nothing is held whole in memory.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "package/PackageWriter.h"
#include "system/FileStream.h"

namespace {

constexpr std::uint64_t kBigSize = 1ull << 30;
constexpr int kFolders = 100, kFilesPerFolder = 200;

class Random {
public:
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    void Fill(std::vector<std::uint8_t>& bytes) {
        for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            const std::uint64_t v = Next();
            for (int b = 0; b < 8; ++b) bytes[i + b] = std::uint8_t(v >> (8 * b));
        }
        for (std::size_t i = bytes.size() & ~std::size_t(7); i < bytes.size(); ++i) bytes[i] = std::uint8_t(Next());
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

struct Source {
    std::string path;      // where the bytes are
    std::string name;      // the target's file name
    std::string subDir;    // below the install folder
    std::uint64_t size;
};

void WritePackage(const std::string& path, const std::vector<std::string>& dirs, const std::vector<Source>& files) {
    TFileStream out = TFileStream::Create(path);
    const std::vector<std::uint8_t> stub(4096, 0x90);
    out.Write(stub.data(), stub.size());
    PackageWriter writer(out, stub.size());
    PackageTables tables;
    for (const auto& dir : dirs) tables.Dirs.push_back(MakeDirItem("InstallDir", dir));
    for (const auto& file : files) {
        TFileStream in = TFileStream::OpenRead(file.path);
        const std::uint32_t offset = writer.AppendData(in, file.size);
        tables.Files.push_back(
            MakeFileItem(file.name, "InstallDir", file.subDir, offset, static_cast<std::uint32_t>(file.size)));
    }
    writer.Finish(MakeHeader("Install Bench"), tables.View());
}

void MakeBig(const std::string& work, Random& random) {
    const std::string folder = work + "/big";
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/big.bin";
    {
        TFileStream out = TFileStream::Create(path);
        std::vector<std::uint8_t> block(1 << 20);
        for (std::uint64_t done = 0; done < kBigSize; done += block.size()) {
            random.Fill(block);
            out.Write(block.data(), block.size());
        }
    }
    WritePackage(work + "/big.pkg", {""}, {{path, "big.bin", "", kBigSize}});
}

void MakeMany(const std::string& work, Random& random) {
    const std::string root = work + "/many";
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> dirs{""};
    std::vector<Source> files;
    std::vector<std::uint8_t> bytes;
    for (int d = 0; d < kFolders; ++d) {
        char dir[16];
        std::snprintf(dir, sizeof dir, "d%02d", d);
        dirs.push_back(dir);
        ::mkdir((root + "/" + dir).c_str(), 0755);
        for (int f = 0; f < kFilesPerFolder; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "f%05d.dat", d * kFilesPerFolder + f);
            bytes.resize(1 + random.Next() % 8191);
            random.Fill(bytes);
            const std::string path = root + "/" + dir + "/" + name;
            TFileStream out = TFileStream::Create(path);
            out.Write(bytes.data(), bytes.size());
            files.push_back({path, name, dir, bytes.size()});
        }
    }
    WritePackage(work + "/many.pkg", dirs, files);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: install_bench_data WORK\n");
        return 2;
    }
    try {
        Random random;
        MakeMany(argv[1], random);
        MakeBig(argv[1], random);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "install_bench_data: %s\n", error.what());
        return 1;
    }
    return 0;
}
