// The runtime pieces of system/SmallRuntime.cpp and the entry of
// system/SmallStart.cpp, linked as the setup program links them
// (setup_small_exe): static objects are built before WinMain with its usual
// arguments and destroyed at exit, the library's error raisers keep their
// texts and catch as std::exception, and the thread calls the exception
// runtime makes keep their promises. No GoogleTest here: it needs the library
// raisers this program replaces. CTest starts it with the arguments
// `"two words" x` and expects its last lines to be "0 failed" and the one a
// static object's destructor writes.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "system/Errors.h"

extern "C" {
int pthread_once(long* once, void (*init)());
int pthread_mutex_init(std::intptr_t* mutex, const unsigned* attributes);
int pthread_mutex_lock(std::intptr_t* mutex);
int pthread_mutex_unlock(std::intptr_t* mutex);
int pthread_key_create(unsigned* key, void (*destructor)(void*));
void* pthread_getspecific(unsigned key);
int pthread_setspecific(unsigned key, const void* value);
}

namespace {

int gFailures = 0;

void Check(bool ok, const char* what, const std::string& detail = {}) {
    std::printf("%s: %s%s%s\n", ok ? "ok" : "FAILED", what, detail.empty() ? "" : " -- ", detail.c_str());
    if (!ok) ++gFailures;
}

// Runs `action` and gives the what() of the std::exception it raises;
// "(nothing)" when it returns, "(other)" for anything else.
template <typename F>
std::string WhatOf(F action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "(other)";
    }
    return "(nothing)";
}

void CheckText(const char* what, const std::string& got, const std::string& expected) {
    Check(got == expected, what, "got \"" + got + "\", expected \"" + expected + "\"");
}

// A static object with work at run time, so the optimiser cannot build it
// at compile time; it says at exit that it was destroyed.
class TStaticObject {
public:
    TStaticObject() : process_(::GetCurrentProcessId()) {}
    ~TStaticObject() { std::printf("static objects destroyed\n"); }
    DWORD Process() const { return process_; }

private:
    DWORD process_;
};

TStaticObject gStaticObject;

void StartUp(HINSTANCE instance, const char* arguments) {
    Check(gStaticObject.Process() == ::GetCurrentProcessId(), "static objects are built before WinMain");
    Check(instance == ::GetModuleHandleA(nullptr), "WinMain gets the program's module");
    CheckText("WinMain gets the command line after the program's name", arguments, "\"two words\" x");
    unsigned short control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    Check((control & 0x0300) == 0x0300, "the x87 unit computes at 64-bit precision", std::to_string(control));
}

// Values the optimiser cannot see through, so each check raises at run time.
volatile std::size_t gFive = 5, gFour = 4, gMany = 123, gSome = 27, gForty = 40;

void LibraryRaisers() {
    CheckText("string::substr past the end",
              WhatOf([] { static_cast<void>(std::string("abcdefghijkl").substr(gMany)); }),
              "basic_string::substr: __pos (which is 123) > this->size() (which is 12)");
    CheckText("string_view::substr past the end",
              WhatOf([] { static_cast<void>(std::string_view("abc").substr(gSome)); }),
              "basic_string_view::substr: __pos (which is 27) > __size (which is 3)");
    CheckText("vector::at past the end", WhatOf([] { static_cast<void>(std::vector<int>(10).at(gForty)); }),
              "vector::_M_range_check: __n (which is 40) >= this->size() (which is 10)");
    CheckText("string from a null pointer",
              WhatOf([] { static_cast<void>(std::string(static_cast<const char*>(nullptr), gFive)); }),
              "basic_string: construction from null is not valid");
    CheckText("vector::reserve beyond its maximum",
              WhatOf([] { std::vector<int>().reserve(std::vector<int>().max_size() + gFour); }), "vector::reserve");

    bool badLength = false;
    try {
        static_cast<void>(std::allocator<int>().allocate(SIZE_MAX / 2 + gFour));
    } catch (const std::bad_array_new_length&) {
        badLength = true;
    } catch (...) {
    }
    Check(badLength, "an allocation past the address space raises std::bad_array_new_length");

    bool badAlloc = false;
    try {
        static_cast<void>(std::allocator<int>().allocate(SIZE_MAX / 8 + gFour));
    } catch (const std::bad_alloc& error) {
        badAlloc = std::string_view(error.what()) == "std::bad_alloc";
    } catch (...) {
    }
    Check(badAlloc, "an allocation past the maximum raises std::bad_alloc");
}

// The program's own errors raised and caught nested, then rethrown, `rounds`
// times: the runtime keeps the caught-exception stack in a thread-local key
// of ours. Gives the count of wrong results.
long RaiseNested(int rounds) {
    long wrong = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string outer = "outer " + std::to_string(round);
        try {
            Raise(Exception("EOuter", outer));
        } catch (const Exception& first) {
            try {
                throw Exception("EInner", "inner " + std::to_string(round));
            } catch (const Exception& second) {
                if (second.Message() != "inner " + std::to_string(round)) ++wrong;
            }
            if (first.Message() != outer || std::uncaught_exceptions() != 0) ++wrong;
            try {
                throw;  // the outer one again, after the inner one ended
            } catch (const Exception& again) {
                if (again.Message() != outer || std::string_view(again.TypeName()) != "EOuter") ++wrong;
            }
        }
    }
    return wrong;
}

void NestedRaising() {
    const long wrong = RaiseNested(500);
    Check(wrong == 0, "nested errors raised, caught and rethrown", std::to_string(wrong) + " wrong");
}

// Two threads raising at once: each has its own caught-exception stack, and
// the runtime's locks (spin locks of ours) and once-flags hold between them.
DWORD WINAPI RaiseOnThread(void* wrong) {
    *static_cast<long*>(wrong) = RaiseNested(1500);
    return 0;
}

void ThreadsRaising() {
    long wrongThere = -1;
    const HANDLE other = ::CreateThread(nullptr, 0, RaiseOnThread, &wrongThere, 0, nullptr);
    const long wrongHere = RaiseNested(1500);
    if (other) {
        ::WaitForSingleObject(other, INFINITE);
        ::CloseHandle(other);
    }
    Check(other && wrongHere == 0 && wrongThere == 0, "two threads raise, catch and rethrow at once",
          std::to_string(wrongHere) + " and " + std::to_string(wrongThere) + " wrong");
}

// The once-flag: the initialiser runs on the first call only.
long gOnce = 0;
int gInitRuns = 0;

void CountInit() { ++gInitRuns; }

void Once() {
    for (int call = 0; call < 3; ++call) pthread_once(&gOnce, &CountInit);
    Check(gInitRuns == 1, "the initialiser runs once for three calls", std::to_string(gInitRuns) + " runs");
}

// The mutex from its static initialiser (-1) and from init: taken and given
// back, it can be taken again, so neither state reads as held.
void Mutex() {
    std::intptr_t fromStatic = -1, fromInit = 77;
    pthread_mutex_init(&fromInit, nullptr);
    for (std::intptr_t* mutex : {&fromStatic, &fromInit}) {
        const bool ok = pthread_mutex_lock(mutex) == 0 && *mutex != 0 && *mutex != -1 &&
                        pthread_mutex_unlock(mutex) == 0 && pthread_mutex_lock(mutex) == 0 &&
                        pthread_mutex_unlock(mutex) == 0;
        Check(ok, mutex == &fromStatic ? "a statically initialised mutex is taken and given back"
                                       : "an initialised mutex is taken and given back");
    }
}

// Keys: slots of their own, empty at first, and the last error left alone.
void Keys() {
    unsigned first = 0, second = 0;
    int value = 0;
    Check(pthread_key_create(&first, nullptr) == 0 && pthread_key_create(&second, nullptr) == 0 && first != second,
          "two keys are created apart");
    Check(pthread_getspecific(first) == nullptr, "a new key holds nothing");
    pthread_setspecific(first, &value);
    Check(pthread_getspecific(first) == &value && pthread_getspecific(second) == nullptr,
          "a key holds its own value");

    ::SetLastError(ERROR_FILE_NOT_FOUND);
    pthread_setspecific(second, &value);
    static_cast<void>(pthread_getspecific(second));
    Check(::GetLastError() == ERROR_FILE_NOT_FOUND, "reading and writing a key keep the last error");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    StartUp(instance, arguments);
    LibraryRaisers();
    NestedRaising();
    ThreadsRaising();
    Once();
    Mutex();
    Keys();
    std::printf("%d failed\n", gFailures);
    return gFailures == 0 ? 0 : 1;
}
