// Owning wrappers for Win32 handles: a move-only template over a traits type
// (handle type, invalid value, close function) and one alias per kind.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Traits::Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Type get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }
    void reset(Type handle = Traits::Invalid()) noexcept {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }
    Type release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    // The out-parameter slot for a creating call; closes what was held.
    Type* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Type handle_ = Traits::Invalid();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyWindow(h); }
};
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueFind = UniqueHandle<FindTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

// DDE string and data handles belong to a DDE management instance.
class UniqueDdeString {
public:
    UniqueDdeString() noexcept = default;
    UniqueDdeString(DWORD instance, HSZ handle) noexcept : instance_(instance), handle_(handle) {}
    UniqueDdeString(UniqueDdeString&& other) noexcept
        : instance_(other.instance_), handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueDdeString& operator=(UniqueDdeString&& other) noexcept {
        if (this != &other) {
            reset();
            instance_ = other.instance_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~UniqueDdeString() { reset(); }
    HSZ get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset() noexcept {
        if (handle_) ::DdeFreeStringHandle(instance_, handle_);
        handle_ = nullptr;
    }

private:
    DWORD instance_ = 0;
    HSZ handle_ = nullptr;
};
