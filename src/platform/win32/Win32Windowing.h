#pragma once

#include "platform/WindowingServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

// One top-level form with static labels and push buttons, drawn by user32.
class Win32Windowing final : public WindowingServices {
public:
    Win32Windowing() = default;
    Win32Windowing(const Win32Windowing&) = delete;
    Win32Windowing& operator=(const Win32Windowing&) = delete;
    ~Win32Windowing() override;

    Handle CreateForm(const FormLayout& layout, FormEvents& events) override;
    Handle GetDlgItem(Handle form, int controlId) override;
    void SetWindowTextA(Handle window, const std::string& text) override;
    void UpdateWindow(Handle window) override;
    void ProcessPendingEvents() override;
    std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds) override;
    std::int32_t MessageBoxA(Handle owner, const std::string& text, const std::string& caption,
                             std::uint32_t type) override;
    Handle GetActiveWindow() override;
    void DestroyWindow(Handle window) override;
    void PostQuitMessage(int exitCode) override;
    int RunEventLoop() override;

private:
    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Dispatch(MSG& message);
    void RegisterFormClass(HINSTANCE instance, int iconResource);
    void CreateControl(HWND form, HINSTANCE instance, const ControlLayout& control, int dpiX, int dpiY);

    SystemLibrary mUser32{"user32.dll"};
    SystemLibrary mGdi32{"gdi32.dll"};
    SystemLibrary mComctl32{"comctl32.dll", SystemLibrary::Location::SideBySide};
    SystemLibrary mKernel32{"kernel32.dll"};

    SystemFunction<HMODULE(WINAPI*)(LPCSTR)> mGetModuleHandleA{mKernel32, "GetModuleHandleA"};
    SystemFunction<BOOL(WINAPI*)(const void*)> mInitCommonControlsEx{mComctl32, "InitCommonControlsEx"};
    SystemFunction<ATOM(WINAPI*)(const WNDCLASSEXA*)> mRegisterClassExA{mUser32, "RegisterClassExA"};
    SystemFunction<HWND(WINAPI*)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID)>
        mCreateWindowExA{mUser32, "CreateWindowExA"};
    SystemFunction<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)> mDefWindowProcA{mUser32, "DefWindowProcA"};
    SystemFunction<HWND(WINAPI*)(HWND, int)> mGetDlgItem{mUser32, "GetDlgItem"};
    SystemFunction<BOOL(WINAPI*)(HWND, LPCSTR)> mSetWindowTextA{mUser32, "SetWindowTextA"};
    SystemFunction<BOOL(WINAPI*)(HWND)> mUpdateWindow{mUser32, "UpdateWindow"};
    SystemFunction<BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT)> mPeekMessageA{mUser32, "PeekMessageA"};
    SystemFunction<BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT)> mGetMessageA{mUser32, "GetMessageA"};
    SystemFunction<DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD, DWORD)> mMsgWaitForMultipleObjects{
        mUser32, "MsgWaitForMultipleObjects"};
    SystemFunction<BOOL(WINAPI*)(const MSG*)> mTranslateMessage{mUser32, "TranslateMessage"};
    SystemFunction<LRESULT(WINAPI*)(const MSG*)> mDispatchMessageA{mUser32, "DispatchMessageA"};
    SystemFunction<BOOL(WINAPI*)(HWND, LPMSG)> mIsDialogMessageA{mUser32, "IsDialogMessageA"};
    SystemFunction<int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT)> mMessageBoxA{mUser32, "MessageBoxA"};
    SystemFunction<BOOL(WINAPI*)(HWND)> mDestroyWindow{mUser32, "DestroyWindow"};
    SystemFunction<HWND(WINAPI*)()> mGetActiveWindow{mUser32, "GetActiveWindow"};
    SystemFunction<void(WINAPI*)(int)> mPostQuitMessage{mUser32, "PostQuitMessage"};
    SystemFunction<BOOL(WINAPI*)(HWND, int)> mShowWindow{mUser32, "ShowWindow"};
    SystemFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD)> mAdjustWindowRectEx{mUser32, "AdjustWindowRectEx"};
    SystemFunction<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)> mSendMessageA{mUser32, "SendMessageA"};
    SystemFunction<HANDLE(WINAPI*)(HINSTANCE, LPCSTR, UINT, int, int, UINT)> mLoadImageA{mUser32, "LoadImageA"};
    SystemFunction<int(WINAPI*)(int)> mGetSystemMetrics{mUser32, "GetSystemMetrics"};
    SystemFunction<HDC(WINAPI*)(HWND)> mGetDC{mUser32, "GetDC"};
    SystemFunction<int(WINAPI*)(HWND, HDC)> mReleaseDC{mUser32, "ReleaseDC"};
    SystemFunction<HWND(WINAPI*)(HWND)> mSetFocus{mUser32, "SetFocus"};
    SystemFunction<int(WINAPI*)(HDC, int)> mGetDeviceCaps{mGdi32, "GetDeviceCaps"};
    SystemFunction<HFONT(WINAPI*)(const LOGFONTA*)> mCreateFontIndirectA{mGdi32, "CreateFontIndirectA"};
    SystemFunction<BOOL(WINAPI*)(HGDIOBJ)> mDeleteObject{mGdi32, "DeleteObject"};

    // The one form of the process; the window procedure finds its owner here.
    static Win32Windowing* sFormOwner;

    HFONT mFont = nullptr;
    HWND mForm = nullptr;
    FormEvents* mEvents = nullptr;
};

} // namespace platform::win32
