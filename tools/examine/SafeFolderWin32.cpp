// Wide-character calls throughout: names are decoded from the package's code
// page once, and no ANSI conversion (with its best-fit look-alikes) happens
// on the way to the file system. Paths carry the \\?\ prefix, so Windows
// takes every name literally and long paths work.
#include <windows.h>

#include <atomic>

#include "system/Handles.h"
#include "tools/examine/SafeFolder.h"

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                             nullptr, 0);
    if (length <= 0) throw ESafeFolder("\"" + utf8 + "\" is not valid UTF-8");
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::string SystemText(DWORD error) {
    char buffer[256] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                          buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : text;
}

// Holds a folder open without delete sharing, so it cannot be renamed or
// replaced by a junction while files are written below it.
UniqueFile HoldFolder(const std::wstring& path, const std::string& name) {
    UniqueFile folder(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) throw ESafeFolder("cannot open folder " + Quoted(name) + ": " + SystemText(::GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(folder.get(), &info))
        throw ESafeFolder("cannot examine folder " + Quoted(name) + ": " + SystemText(::GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw ESafeFolder(Quoted(name) + " is a link or junction; links are not followed");
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw ESafeFolder(Quoted(name) + " is a file, not a folder");
    return folder;
}

// Where a handle really leads, links resolved ("\\?\C:\..."); raises
// ESafeFolder when the system cannot say.
std::wstring FinalPath(HANDLE handle, const std::string& name) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    if (length == 0 || length >= path.size())
        throw ESafeFolder("cannot tell where folder " + Quoted(name) + " leads: " + SystemText(::GetLastError()));
    path.resize(length);
    return path;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& start) {
    return text.size() >= start.size() &&
           ::CompareStringOrdinal(text.data(), static_cast<int>(start.size()), start.data(),
                                  static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

std::wstring TemporaryName() {
    static std::atomic<unsigned> counter{0};
    return L".extract-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
}

}  // namespace

struct TSafeFolder::TImpl {
    std::wstring Root;
    UniqueFile Held;
    std::wstring RealRoot;  // the root's final path, links resolved
};

TSafeFolder::TSafeFolder(const std::string& root) : impl_(std::make_unique<TImpl>()) {
    const std::wstring given = Wide(root);
    const DWORD length = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    if (length == 0 || ::GetFullPathNameW(given.c_str(), length, full.data(), nullptr) == 0)
        throw ESafeFolder("cannot resolve " + Quoted(root) + ": " + SystemText(::GetLastError()));
    full.resize(full.find(L'\0'));
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    impl_->Root = full.compare(0, 2, L"\\\\") == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
    if (!::CreateDirectoryW(impl_->Root.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        throw ESafeFolder("cannot create " + Quoted(root) + ": " + SystemText(::GetLastError()));
    impl_->Held = UniqueFile(::CreateFileW(impl_->Root.c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!impl_->Held) throw ESafeFolder("cannot open folder " + Quoted(root) + ": " + SystemText(::GetLastError()));
    impl_->RealRoot = FinalPath(impl_->Held.get(), root);
    if (impl_->RealRoot.empty() || impl_->RealRoot.back() != L'\\') impl_->RealRoot += L'\\';
}

TSafeFolder::~TSafeFolder() = default;

void TSafeFolder::WriteFile(const std::vector<std::string>& folders, const std::string& name, const TFill& fill) {
    std::vector<UniqueFile> chain;
    std::wstring path = impl_->Root;
    for (const std::string& folder : folders) {
        path += L"\\" + Wide(folder);
        if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            throw ESafeFolder("cannot create folder " + Quoted(folder) + ": " + SystemText(::GetLastError()));
        chain.push_back(HoldFolder(path, folder));
        // A link the file system does not mark as one (a Unix symbolic link
        // under Wine) still shows where it leads.
        if (!StartsWithNoCase(FinalPath(chain.back().get(), folder), impl_->RealRoot))
            throw ESafeFolder(Quoted(folder) + " leads outside the folder; links are not followed");
    }
    const std::wstring target = path + L"\\" + Wide(name);
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) &&
        !(existing & FILE_ATTRIBUTE_REPARSE_POINT))
        throw ESafeFolder(Quoted(name) + " is a folder");
    const std::wstring temporary = path + L"\\" + TemporaryName();
    UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) throw ESafeFolder("cannot create a file beside " + Quoted(name) + ": " + SystemText(::GetLastError()));
    const auto discard = [&] {
        file.reset();
        ::DeleteFileW(temporary.c_str());
    };
    try {
        fill([&](const void* data, std::size_t size) {
            const char* at = static_cast<const char*>(data);
            while (size > 0) {
                const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
                DWORD written = 0;
                if (!::WriteFile(file.get(), at, chunk, &written, nullptr) || written == 0)
                    throw ESafeFolder("cannot write " + Quoted(name) + ": " + SystemText(::GetLastError()));
                at += written;
                size -= written;
            }
        });
    } catch (...) {
        discard();
        throw;
    }
    file.reset();
    // Moving replaces a link at the target instead of writing through it.
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        throw ESafeFolder("cannot write " + Quoted(name) + ": " + SystemText(error));
    }
}
