// A file opened for the package reader (shared, read-only) or created for a
// writer (exclusive, truncated). One class, one implementation per platform.
#pragma once

#include <cstdint>
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

    TFileStream(TFileStream&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }
    TFileStream& operator=(TFileStream&&) = delete;
    TFileStream(const TFileStream&) = delete;
    ~TFileStream() override;

    std::uint64_t Size() override;
    void Seek(std::uint64_t position) override;
    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;

private:
    static constexpr std::intptr_t kClosed = -1;
    explicit TFileStream(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;  // a HANDLE on Windows, a file descriptor elsewhere
};
