#pragma once

#include "platform/KernelServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32Kernel final : public KernelServices {
public:
    bool GetVersionExA(OsVersionInfoA& info) override;
    Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
    bool Process32First(Handle snapshot, ProcessEntry32A& entry) override;
    bool Process32Next(Handle snapshot, ProcessEntry32A& entry) override;
    Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool TerminateProcess(Handle process, std::uint32_t exitCode) override;
    bool CloseHandle(Handle handle) override;
    bool GetExitCodeProcess(Handle process, std::uint32_t& exitCode) override;
    bool HasQueryFullProcessImageNameA() override;
    bool QueryFullProcessImageNameA(Handle process, std::uint32_t flags, char* exeName, std::uint32_t& size) override;
    Handle FindFirstFileA(const std::string& pattern, Win32FindDataA& data) override;
    bool FindNextFileA(Handle find, Win32FindDataA& data) override;
    bool FindClose(Handle find) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override;
    std::string GetSystemDirectoryA() override;
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view ansi) override;

private:
    SystemLibrary mKernel32{"kernel32.dll"};
    SystemFunction<BOOL(WINAPI*)(OsVersionInfoA*)> mGetVersionExA{mKernel32, "GetVersionExA"};
    SystemFunction<HANDLE(WINAPI*)(DWORD, DWORD)> mCreateToolhelp32Snapshot{mKernel32, "CreateToolhelp32Snapshot"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, ProcessEntry32A*)> mProcess32First{mKernel32, "Process32First"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, ProcessEntry32A*)> mProcess32Next{mKernel32, "Process32Next"};
    SystemFunction<HANDLE(WINAPI*)(DWORD, BOOL, DWORD)> mOpenProcess{mKernel32, "OpenProcess"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, UINT)> mTerminateProcess{mKernel32, "TerminateProcess"};
    SystemFunction<BOOL(WINAPI*)(HANDLE)> mCloseHandle{mKernel32, "CloseHandle"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, LPDWORD)> mGetExitCodeProcess{mKernel32, "GetExitCodeProcess"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD)> mQueryFullProcessImageNameA{
        mKernel32, "QueryFullProcessImageNameA"};
    SystemFunction<HANDLE(WINAPI*)(LPCSTR, Win32FindDataA*)> mFindFirstFileA{mKernel32, "FindFirstFileA"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, Win32FindDataA*)> mFindNextFileA{mKernel32, "FindNextFileA"};
    SystemFunction<BOOL(WINAPI*)(HANDLE)> mFindClose{mKernel32, "FindClose"};
    SystemFunction<void(WINAPI*)(DWORD)> mSleep{mKernel32, "Sleep"};
    SystemFunction<DWORD(WINAPI*)()> mGetTickCount{mKernel32, "GetTickCount"};
    SystemFunction<UINT(WINAPI*)(LPSTR, UINT)> mGetSystemDirectoryA{mKernel32, "GetSystemDirectoryA"};
    SystemFunction<int(WINAPI*)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL)> mWideCharToMultiByte{
        mKernel32, "WideCharToMultiByte"};
    SystemFunction<int(WINAPI*)(UINT, DWORD, LPCCH, int, LPWSTR, int)> mMultiByteToWideChar{mKernel32,
                                                                                            "MultiByteToWideChar"};
};

} // namespace platform::win32
