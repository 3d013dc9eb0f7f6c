// The program entry of the small programs (setup_small_exe links this file
// and makes SmallStart the entry point), in place of the C runtime's
// start-up. That one also splits the command line into argv, applies
// pseudo-relocations, installs TLS callbacks, a math-error hook and an
// exception filter that forwards to the system's: the programs use none of
// it, and it costs some 9 KB of code, imports and sections in each. This one
// keeps what they rely on:
//
// - the x87 unit reset as the runtime's start-up leaves it (64-bit precision);
// - the C runtime told the program's kind, so its abort() reports in a box
//   in a window program, as it did;
// - static constructors (__main, which registers the destructors with atexit)
//   before WinMain, WinMain's usual arguments, and exit() with its result,
//   which runs the registered destructors before the process ends.
//
// The link (-specs=SmallStartLink.rules) keeps crtbegin.o and crtend.o, which
// register the unwind tables the exception runtime needs.
#include <windows.h>

#include <cstdlib>

extern "C" {
void __main();
void __set_app_type(int type);
extern const BYTE __ImageBase[];  // the program's image, from its DOS header on
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int show);

// Defined by the C runtime's start-up, on msvcrt's exit list: static
// destructors register here and exit() runs them, last first.
extern "C" int atexit(void (*function)()) { return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1; }

namespace {

constexpr int kConsoleProgram = 1;
constexpr int kWindowProgram = 2;

// The command line after the program's own name, which may be quoted, as
// WinMain receives it.
char* ArgumentsAfterName(char* line) {
    auto* at = reinterpret_cast<unsigned char*>(line);
    if (*at == '"') {
        ++at;
        while (*at != '\0' && *at != '"') ++at;
        if (*at == '"') ++at;
    } else {
        while (*at > ' ') ++at;
    }
    while (*at != '\0' && *at <= ' ') ++at;
    return reinterpret_cast<char*>(at);
}

bool IsWindowProgram() {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(__ImageBase + dos->e_lfanew);
    return headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
}

}  // namespace

// Windows enters with the stack aligned to 4 bytes only.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer, used)) void SmallStart() {
    asm volatile("fninit");
    __set_app_type(IsWindowProgram() ? kWindowProgram : kConsoleProgram);
    __main();
    // SW_SHOWDEFAULT: a window shown with it takes what the starter asked for.
    std::exit(WinMain(reinterpret_cast<HINSTANCE>(const_cast<BYTE*>(__ImageBase)), nullptr, ArgumentsAfterName(::GetCommandLineA()),
                      SW_SHOWDEFAULT));
}
