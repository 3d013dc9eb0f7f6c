// A stand-in for the shell's Active Desktop object, registered under its
// class identifier in a test's own Wine prefix (Wine's object implements
// neither call). It appends each call it receives to the file named by
// SETUP_TEST_WALLPAPER_LOG; with SETUP_TEST_WALLPAPER_REFUSE=1 it declines
// IActiveDesktop.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "package/ActiveDesktop.h"

namespace {

LONG gObjects = 0;

bool EnvironmentSays(const char* name, const char* value) {
    char buffer[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer && std::strcmp(buffer, value) == 0;
}

void Record(const char* line) {
    char path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("SETUP_TEST_WALLPAPER_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path) return;
    if (FILE* log = std::fopen(path, "ab")) {
        std::fputs(line, log);
        std::fputc('\n', log);
        std::fclose(log);
    }
}

// One static object serves every creation; its count only tells when the
// last reference went.
class Desktop final : public ActiveDesktop::IActiveDesktop {
public:

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
        } else if (IsEqualIID(iid, ActiveDesktop::kInterfaceId)) {
            if (EnvironmentSays("SETUP_TEST_WALLPAPER_REFUSE", "1")) return E_NOINTERFACE;
            *out = static_cast<ActiveDesktop::IActiveDesktop*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&gObjects)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&gObjects);
        if (left == 0) Record("Released");
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) override {
        char line[64];
        std::snprintf(line, sizeof line, "ApplyChanges %lu", static_cast<unsigned long>(flags));
        Record(line);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWallpaper(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetWallpaper(PCWSTR wallpaper, DWORD reserved) override {
        char path[1024] = "";
        ::WideCharToMultiByte(CP_ACP, 0, wallpaper, -1, path, sizeof path, nullptr, nullptr);
        char line[1100];
        std::snprintf(line, sizeof line, "SetWallpaper %lu [%s]", static_cast<unsigned long>(reserved), path);
        Record(line);
        return S_OK;
    }
};

Desktop gDesktop;

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Record("Create");
        return gDesktop.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory gFactory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!IsEqualCLSID(clsid, ActiveDesktop::kClassId)) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return gFactory.QueryInterface(iid, out);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return gObjects == 0 ? S_OK : S_FALSE; }
