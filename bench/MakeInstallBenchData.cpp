// Writes the data sets of the install benchmarks and a package of each:
//   install_bench_data WORK [--folders N] [--files F] [--big-mib M] [--only big|many] [--no-packages]
// WORK/big/big.bin (M MiB, default 1024) and big.pkg; WORK/many/dNN/fNNNNN.dat (F files,
// default 20,000, of 1 to 8191 bytes in N folders, default 100; N must divide F) and
// many.pkg. --only writes one of the two sets. --no-packages writes the trees
// only, for benchmarks that pack them with their own tools. File data is
// streamed into the packages; nothing is held whole in memory.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/PackageWriter.h"
#include "system/FileStream.h"

namespace {

constexpr int kMaxFiles = 99999;  // the names have five digits

struct Options {
    std::string work;
    int folders = 100;
    int files = 20000;
    std::uint64_t bigSize = 1ull << 30;
    bool big = true, many = true;
    bool packages = true;
};

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
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
    std::uint64_t state_;
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

void MakeBig(const Options& options, Random& random) {
    const std::string& work = options.work;
    const std::string folder = work + "/big";
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/big.bin";
    {
        TFileStream out = TFileStream::Create(path);
        std::vector<std::uint8_t> block(1 << 20);
        for (std::uint64_t done = 0; done < options.bigSize; done += block.size()) {
            random.Fill(block);
            out.Write(block.data(), block.size());
        }
    }
    if (options.packages) WritePackage(work + "/big.pkg", {""}, {{path, "big.bin", "", options.bigSize}});
}

void MakeMany(const Options& options, Random& random) {
    const std::string& work = options.work;
    const int perFolder = options.files / options.folders;
    const std::string root = work + "/many";
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> dirs{""};
    std::vector<Source> files;
    std::vector<std::uint8_t> bytes;
    for (int d = 0; d < options.folders; ++d) {
        char dir[16];
        std::snprintf(dir, sizeof dir, options.folders > 100 ? "d%03d" : "d%02d", d);
        dirs.push_back(dir);
        ::mkdir((root + "/" + dir).c_str(), 0755);
        for (int f = 0; f < perFolder; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "f%05d.dat", d * perFolder + f);
            bytes.resize(1 + random.Next() % 8191);
            random.Fill(bytes);
            const std::string path = root + "/" + dir + "/" + name;
            TFileStream out = TFileStream::Create(path);
            out.Write(bytes.data(), bytes.size());
            files.push_back({path, name, dir, bytes.size()});
        }
    }
    if (options.packages) WritePackage(work + "/many.pkg", dirs, files);
}

// A whole decimal number, or -1.
long Number(const char* text) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    return end != text && *end == '\0' ? n : -1;
}

// Returns false on a malformed command line.
bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2) return false;
    options.work = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-packages") {
            options.packages = false;
        } else if (arg == "--folders" && i + 1 < argc) {
            const long n = Number(argv[++i]);
            if (n < 1 || n > kMaxFiles) return false;
            options.folders = static_cast<int>(n);
        } else if (arg == "--files" && i + 1 < argc) {
            const long n = Number(argv[++i]);
            if (n < 1 || n > kMaxFiles) return false;
            options.files = static_cast<int>(n);
        } else if (arg == "--only" && i + 1 < argc) {
            const std::string set = argv[++i];
            if (set != "big" && set != "many") return false;
            options.big = set == "big";
            options.many = set == "many";
        } else if (arg == "--big-mib" && i + 1 < argc) {
            const long n = Number(argv[++i]);
            if (n < 1 || n > 4095) return false;  // a package's offsets are 32-bit
            options.bigSize = std::uint64_t(n) << 20;
        } else {
            return false;
        }
    }
    return options.files % options.folders == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: install_bench_data WORK [--folders N] [--big-mib M] [--no-packages]\n"
                             "                          [--files F] [--only big|many]\n"
                             "  (N divides F, default 20000, F at most 99999; M is 1 to 4095)\n");
        return 2;
    }
    try {
        // The same data in every run, whichever sets are written.
        Random forMany(0x9E3779B97F4A7C15ull), forBig(0xD1B54A32D192ED03ull);
        if (options.many) MakeMany(options, forMany);
        if (options.big) MakeBig(options, forBig);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "install_bench_data: %s\n", error.what());
        return 1;
    }
    return 0;
}
