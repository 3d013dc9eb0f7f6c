// The parts of the C++ runtime that a small Windows program takes from here
// instead of from the static runtime libraries, where each drags in far more
// than it does (setup_small_exe links this file):
//
// - The terminate handler: the runtime's verbose one carries the name demangler.
// - The library's error raisers (std::__throw_*): the runtime's construct
//   std::logic_error and its kin, whose copy-on-write strings bring a second
//   string implementation, std::random_device and printf. These raise one small
//   error type with the same what() text, so a handler for std::exception sees
//   what it saw before; one for std::length_error or std::out_of_range would no
//   longer match, and the programs have none. The runtime defines all fifteen
//   raisers in one object, so all are defined here or none.
// - The POSIX thread calls of the posix-model exception runtime (once, mutex,
//   thread-local keys), on Win32 instead of winpthreads and its thread layer.
#include <windows.h>

#include <bits/functexcept.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace __gnu_cxx {
// An error that gets this far ends the process.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// What the library's own checks raise: the text they give, formatted as the
// runtime's printf subset does (%s, %zu, %%), cut to the buffer.
class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* text) { Append(text); }
    LibraryError(const char* format, std::va_list args);
    const char* what() const noexcept override { return text_; }

private:
    void Append(const char* text) {
        while (*text) Put(*text++);
    }
    void Put(char c) {
        if (length_ + 1 < sizeof text_) text_[length_++] = c;
        text_[length_] = '\0';
    }
    void PutNumber(std::size_t value);

    char text_[256] = {};
    std::size_t length_ = 0;
};

LibraryError::LibraryError(const char* format, std::va_list args) {
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            Append(va_arg(args, const char*));
            p += 1;
        } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            PutNumber(va_arg(args, std::size_t));
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            Put('%');
            p += 1;
        } else {
            Put(*p);
        }
    }
}

void LibraryError::PutNumber(std::size_t value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) Put(digits[--count]);
}

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* text) { throw LibraryError(text); }
void __throw_domain_error(const char* text) { throw LibraryError(text); }
void __throw_invalid_argument(const char* text) { throw LibraryError(text); }
void __throw_length_error(const char* text) { throw LibraryError(text); }
void __throw_out_of_range(const char* text) { throw LibraryError(text); }
void __throw_runtime_error(const char* text) { throw LibraryError(text); }
void __throw_range_error(const char* text) { throw LibraryError(text); }
void __throw_overflow_error(const char* text) { throw LibraryError(text); }
void __throw_underflow_error(const char* text) { throw LibraryError(text); }

void __throw_out_of_range_fmt(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    LibraryError error(format, args);
    va_end(args);
    throw error;
}

}  // namespace std

// The thread calls, with winpthreads' types: a once-flag is a long starting
// at 0, a mutex a pointer-sized word whose static initialiser is -1, a key an
// unsigned index.
namespace {

constexpr long kOnceRunning = 1;
constexpr long kOnceDone = 2;
constexpr std::intptr_t kMutexHeld = 1;

// Lets the thread that holds what we wait for run: at first only yields, then
// sleeps, so a waiter of higher priority cannot starve the holder.
void Pause(unsigned& rounds) { ::Sleep(rounds++ < 64 ? 0 : 1); }

}  // namespace

extern "C" {

int pthread_once(long* once, void (*init)()) {
    long expected = 0;
    if (__atomic_compare_exchange_n(once, &expected, kOnceRunning, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        init();
        __atomic_store_n(once, kOnceDone, __ATOMIC_RELEASE);
        return 0;
    }
    for (unsigned rounds = 0; __atomic_load_n(once, __ATOMIC_ACQUIRE) != kOnceDone;) Pause(rounds);
    return 0;
}

// A spin lock: the runtime holds its mutexes for a few instructions only.
// Free is 0, or -1 as statically initialised.
int pthread_mutex_init(std::intptr_t* mutex, const unsigned*) {
    __atomic_store_n(mutex, 0, __ATOMIC_RELEASE);
    return 0;
}

int pthread_mutex_destroy(std::intptr_t*) { return 0; }

int pthread_mutex_lock(std::intptr_t* mutex) {
    for (unsigned rounds = 0;; Pause(rounds)) {
        std::intptr_t seen = __atomic_load_n(mutex, __ATOMIC_RELAXED);
        if (seen != kMutexHeld &&
            __atomic_compare_exchange_n(mutex, &seen, kMutexHeld, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED))
            return 0;
    }
}

int pthread_mutex_unlock(std::intptr_t* mutex) {
    __atomic_store_n(mutex, 0, __ATOMIC_RELEASE);
    return 0;
}

// Keys are Win32 thread-local slots. The destructor is not run at thread
// exit: the runtime keeps its per-thread exception state there, and only the
// program's main thread throws, so at most a small block for each other
// thread that ever threw stays allocated until the process ends.
int pthread_key_create(unsigned* key, void (*)(void*)) {
    const DWORD slot = ::TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) return EAGAIN;
    *key = slot;
    return 0;
}

// Keeps the last error as it was: the runtime reads its slot while raising,
// between a failed call and the handler that asks why it failed.
void* pthread_getspecific(unsigned key) {
    const DWORD lastError = ::GetLastError();
    void* value = ::TlsGetValue(key);
    ::SetLastError(lastError);
    return value;
}

int pthread_setspecific(unsigned key, const void* value) {
    const DWORD lastError = ::GetLastError();
    const BOOL stored = ::TlsSetValue(key, const_cast<void*>(value));
    ::SetLastError(lastError);
    return stored ? 0 : EINVAL;
}

}  // extern "C"
