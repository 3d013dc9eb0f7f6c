// Does to a waiting setup program's file what another program of the user
// could: renames it and puts a same-size file with other bytes in its place,
// and writes into it.
//   tamper_package PATH
// Exit code 0 when both were refused; otherwise 1 when the rename went
// through, plus 2 when the write did (the file then holds other bytes).
#include <windows.h>

#include <string>
#include <vector>

#include "system/Handles.h"

namespace {

// Turns the bytes in the middle of `path` into others; true when that worked.
bool WriteInto(const std::string& path, DWORD share) {
    const UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const LONG middle = static_cast<LONG>(::GetFileSize(file.get(), nullptr) / 2);
    std::vector<char> bytes(4096);
    DWORD got = 0;
    if (::SetFilePointer(file.get(), middle, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return false;
    for (char& c : bytes) c = static_cast<char>(~c);
    DWORD put = 0;
    return ::SetFilePointer(file.get(), middle, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ::WriteFile(file.get(), bytes.data(), got, &put, nullptr) && put == got;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 4;
    const std::string path = argv[1], moved = path + ".moved";
    int result = 0;
    if (::MoveFileA(path.c_str(), moved.c_str())) {
        // The running file kept its bytes; a copy with others takes its name.
        result |= 1;
        if (::CopyFileA(moved.c_str(), path.c_str(), TRUE)) WriteInto(path, 0);
    }
    if (!(result & 1) && WriteInto(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) result |= 2;
    return result;
}
