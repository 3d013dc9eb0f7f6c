// A file opened for the package reader (shared, read-only) or created for a
// writer (exclusive, truncated), and the temporary file an output is written
// to before it takes its target's place. One implementation per platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "system/ByteStream.h"

class TFileStream final : public ByteSource, public ByteSink {
public:
    // What others may do with a file opened for reading while it is open.
    enum class TSharing {
        ReadWrite,  // read and write it (the tools read files others may be writing)
        ReadOnly,   // only read it: no process can write, rename or delete it (Windows)
    };
    // Opens read-only; raises EFOpenError.
    static TFileStream OpenRead(const std::string& path, TSharing sharing = TSharing::ReadWrite);
    // Creates or truncates the file for writing, shared with no one.
    // Raises EFCreateError.
    static TFileStream Create(const std::string& path);
    // Creates a file that must not exist yet, shared with no one; nothing
    // when it cannot be created, with the system's error code left to ask.
    static std::optional<TFileStream> CreateNew(const std::string& path);

    TFileStream(TFileStream&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }
    TFileStream& operator=(TFileStream&&) = delete;
    TFileStream(const TFileStream&) = delete;
    ~TFileStream() override;

    std::uint64_t Size() override;
    void Seek(std::uint64_t position) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;

private:
    friend class TTemporaryFile;
    static constexpr std::intptr_t kClosed = -1;
    explicit TFileStream(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;  // a HANDLE on Windows, a file descriptor elsewhere
};

// An output written under a temporary name in its target's folder and put in
// the target's place whole: until Commit the target keeps its old bytes, and
// an output given up on the way (an error, an exception) leaves no temporary
// file behind.
class TTemporaryFile {
public:
    // Creates the temporary file, shared with no one. Raises EFCreateError
    // naming the target.
    explicit TTemporaryFile(std::string target);
    // Removes the temporary file unless it was committed.
    ~TTemporaryFile();
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    // The temporary file's name; empty once committed.
    const std::string& Path() const { return path_; }
    // The open file, to write (and seek and read back) before Commit.
    TFileStream& File() { return *file_; }
    // Closes the file and renames it over the target. Raises EFCreateError
    // naming the target; the temporary file then still goes.
    void Commit();

private:
    std::string target_;
    std::string path_;
    std::optional<TFileStream> file_;
};
