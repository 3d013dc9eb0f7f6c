// The shell's Active Desktop object as the wallpaper step calls it: its class
// and interface identifiers and the leading slots of IActiveDesktop.
#pragma once

#include <objbase.h>

namespace ActiveDesktop {

// {75048700-EF1F-11D0-9888-006097DEACF9}
inline constexpr CLSID kClassId = {0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
// {F490EB00-1240-11D1-9888-006097DEACF9}
inline constexpr IID kInterfaceId = {0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

// AD_APPLY_SAVE | AD_APPLY_HTMLGEN | AD_APPLY_REFRESH | AD_APPLY_FORCE
inline constexpr DWORD kApplyAll = 0x1 | 0x2 | 0x4 | 0x8;

// The slots up to SetWallpaper, in vtable order; later slots are not called.
struct IActiveDesktop : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ApplyChanges(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetWallpaper(PWSTR wallpaper, UINT length, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWallpaper(PCWSTR wallpaper, DWORD reserved) = 0;
};

}  // namespace ActiveDesktop
