#pragma once

#include "platform/WindowingServices.h"
#include "platform/win32/SystemLibrary.h"

#include <commctrl.h>

#include <optional>

namespace platform::win32 {

// One top-level form with static labels and push buttons, drawn by user32.
class Win32Windowing final : public WindowingServices {
public:
    explicit Win32Windowing(SystemLibraries& libraries) noexcept
        : mUser32(libraries.user32), mGdi32(libraries.gdi32), mComctl32(libraries.comctl32),
          mKernel32(libraries.kernel32)
    {
    }
    Win32Windowing(const Win32Windowing&) = delete;
    Win32Windowing& operator=(const Win32Windowing&) = delete;
    ~Win32Windowing() override = default;

    Handle CreateForm(const FormLayout& layout, FormEvents& events) override;
    Handle GetDlgItem(Handle form, int controlId) override;
    void SetWindowTextA(Handle window, const std::string& text) override;
    void UpdateWindow(Handle window) override;
    void ProcessPendingEvents() override;
    std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds) override;
    bool HasShutdownBlockReason() override;
    bool ShutdownBlockReasonCreate(Handle window, const std::u16string& reason) override;
    bool ShutdownBlockReasonDestroy(Handle window) override;
    void DestroyWindow(Handle window) override;
    void PostQuitMessage(int exitCode) override;
    int RunEventLoop() override;

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Dispatch(MSG& message);
    DWORD WakeMask();
    UniqueFont CreateFormFont(const FormLayout& layout, HDC screen, int dpiY);
    std::string FaceOf(HFONT font, HDC screen);
    void RegisterFormClass(HINSTANCE instance, int iconResource);
    void CreateControl(HWND form, HINSTANCE instance, const ControlLayout& control, int dpiX, int dpiY);

    SystemLibrary& mUser32;
    SystemLibrary& mGdi32;
    SystemLibrary& mComctl32;
    SystemLibrary& mKernel32;

    SYSTEM_FUNCTION(mKernel32, GetModuleHandleA);
    SYSTEM_FUNCTION(mKernel32, GetVersionExA);
    SYSTEM_FUNCTION(mComctl32, InitCommonControlsEx);
    SYSTEM_FUNCTION(mUser32, RegisterClassExA);
    SYSTEM_FUNCTION(mUser32, CreateWindowExA);
    SYSTEM_FUNCTION(mUser32, DefWindowProcA);
    SYSTEM_FUNCTION(mUser32, GetDlgItem);
    SYSTEM_FUNCTION(mUser32, SetWindowTextA);
    SYSTEM_FUNCTION(mUser32, UpdateWindow);
    SYSTEM_FUNCTION(mUser32, PeekMessageA);
    SYSTEM_FUNCTION(mUser32, GetMessageA);
    SYSTEM_FUNCTION(mUser32, MsgWaitForMultipleObjects);
    SYSTEM_FUNCTION(mUser32, TranslateMessage);
    SYSTEM_FUNCTION(mUser32, DispatchMessageA);
    SYSTEM_FUNCTION(mUser32, IsDialogMessageA);
    SYSTEM_FUNCTION(mUser32, DestroyWindow);
    SYSTEM_FUNCTION(mUser32, PostQuitMessage);
    SYSTEM_FUNCTION(mUser32, ShowWindow);
    SYSTEM_FUNCTION(mUser32, AdjustWindowRectEx);
    SYSTEM_FUNCTION(mUser32, SendMessageA);
    SYSTEM_FUNCTION(mUser32, LoadImageA);
    SYSTEM_FUNCTION(mUser32, GetSystemMetrics);
    SYSTEM_FUNCTION(mUser32, GetDC);
    SYSTEM_FUNCTION(mUser32, ReleaseDC);
    SYSTEM_FUNCTION(mUser32, SetFocus);
#ifdef _WIN64
    SYSTEM_FUNCTION(mUser32, SetWindowLongPtrA);
#else
    // 32-bit user32 exports the same call only as SetWindowLongA.
    SYSTEM_FUNCTION(mUser32, SetWindowLongA);
    SystemFunction<decltype(&::SetWindowLongA)>& mSetWindowLongPtrA = mSetWindowLongA;
#endif
    SYSTEM_FUNCTION(mUser32, ShutdownBlockReasonCreate);
    SYSTEM_FUNCTION(mUser32, ShutdownBlockReasonDestroy);
    SYSTEM_FUNCTION(mGdi32, GetDeviceCaps);
    SYSTEM_FUNCTION(mGdi32, CreateFontIndirectA);
    SYSTEM_FUNCTION(mGdi32, DeleteObject);
    SYSTEM_FUNCTION(mGdi32, SelectObject);
    SYSTEM_FUNCTION(mGdi32, GetTextFaceA);

    UniqueFont mFont;
    HWND mForm = nullptr;
    FormEvents* mEvents = nullptr;
    // The control Enter presses; 0 when the form has none.
    int mDefaultControl = 0;
    // A quit taken off the queue by ProcessPendingEvents, for RunEventLoop.
    std::optional<int> mKeptQuit;
    std::optional<DWORD> mWakeMask;
};

} // namespace platform::win32
