// A small owning COM interface pointer and the thread's COM start-up.
#pragma once

#include <objbase.h>

#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void reset() noexcept {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // The out-parameter slot for a creating call; releases what was held.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Asks for another interface of the same object; S_OK or the failure status.
    template <typename U>
    HRESULT As(const IID& iid, ComPtr<U>& out) const noexcept {
        return p_ ? p_->QueryInterface(iid, out.put_void()) : E_POINTER;
    }

private:
    T* p_ = nullptr;
};

// CoInitialize for the lifetime of the object (single-threaded apartment).
class ComInitialization {
public:
    ComInitialization() noexcept : result_(::CoInitialize(nullptr)) {}
    ~ComInitialization() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    HRESULT Result() const noexcept { return result_; }

private:
    HRESULT result_;
};
