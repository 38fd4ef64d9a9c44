#pragma once

#include "platform/KernelServices.h"
#include "platform/win32/SystemLibrary.h"

#include <tlhelp32.h>

namespace platform::win32 {

class Win32Kernel final : public KernelServices {
public:
    explicit Win32Kernel(SystemLibraries& libraries) noexcept : mKernel32(libraries.kernel32) {}
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
    bool Is64BitWindows() override;
    std::uint32_t GetFileAttributesA(const std::string& path) override;
    Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share, std::uint32_t creation,
                       std::uint32_t flags, const DescriptorBytes* descriptor) override;
    std::optional<FileInformation> GetFileInformationByHandle(Handle file) override;
    bool ReadFile(Handle file, std::uint8_t* data, std::uint32_t bytes, std::uint32_t& read) override;
    bool WriteFile(Handle file, const std::uint8_t* data, std::uint32_t bytes, std::uint32_t& written) override;
    std::optional<std::uint64_t> GetFileSize(Handle file) override;
    std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) override;
    bool DeleteFileA(const std::string& path) override;
    bool MoveFileA(const std::string& from, const std::string& to) override;
    bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override;
    bool CreateDirectoryA(const std::string& path, const DescriptorBytes* descriptor) override;
    std::string GetTempPathA() override;
    SystemTime GetLocalTime() override;
    std::int32_t GetTimeZoneBias() override;
    std::uint32_t GetCurrentThreadId() override;
    Handle FindFirstFileA(const std::string& pattern, Win32FindDataA& data) override;
    bool FindNextFileA(Handle find, Win32FindDataA& data) override;
    bool FindClose(Handle find) override;
    std::string GetShortPathNameA(const std::string& path) override;
    Handle CreateMutexA(const std::string& name, const DescriptorBytes* descriptor, std::int32_t& lastError) override;
    Handle OpenMutexA(const std::string& name, std::int32_t& lastError) override;
    bool ReleaseMutex(Handle mutex) override;
    bool HasPrivateNamespaces() override;
    Handle CreatePrivateNamespaceA(const DescriptorBytes& descriptor, const Sid& boundary, const std::string& alias,
                                   std::int32_t& lastError) override;
    Handle OpenPrivateNamespaceA(const Sid& boundary, const std::string& alias) override;
    bool ClosePrivateNamespace(Handle privateNamespace) override;
    std::uint32_t GetDriveTypeA(const std::string& root) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t WaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override;
    std::string GetSystemDirectoryA() override;
    std::string GetSystemWow64DirectoryA() override;
    std::string WideToAnsi(std::u16string_view text) override;
    // The text in a code page of the system's choice: the ANSI one, the console's.
    std::string WideToCodePage(UINT codePage, std::u16string_view text);
    std::u16string AnsiToWide(std::string_view ansi) override;
    // Leaves the current folder out of where this program's libraries are
    // looked for, where the system can (XP SP1 and later).
    void KeepCurrentFolderOutOfLibrarySearch() noexcept;

private:
    // A boundary descriptor of one group, deleted with the object.
    class Boundary;

    SystemLibrary& mKernel32;
    SYSTEM_FUNCTION(mKernel32, GetVersionExA);
    SYSTEM_FUNCTION(mKernel32, CreateToolhelp32Snapshot);
    SYSTEM_FUNCTION(mKernel32, Process32First);
    SYSTEM_FUNCTION(mKernel32, Process32Next);
    SYSTEM_FUNCTION(mKernel32, OpenProcess);
    SYSTEM_FUNCTION(mKernel32, TerminateProcess);
    SYSTEM_FUNCTION(mKernel32, CloseHandle);
    SYSTEM_FUNCTION(mKernel32, GetExitCodeProcess);
    SYSTEM_FUNCTION(mKernel32, QueryFullProcessImageNameA);
    SYSTEM_FUNCTION(mKernel32, IsWow64Process);
    SYSTEM_FUNCTION(mKernel32, GetFileAttributesA);
    SYSTEM_FUNCTION(mKernel32, CreateFileA);
    SYSTEM_FUNCTION(mKernel32, ReadFile);
    SYSTEM_FUNCTION(mKernel32, WriteFile);
    SYSTEM_FUNCTION(mKernel32, GetFileSize);
    SYSTEM_FUNCTION(mKernel32, SetFilePointer);
    SYSTEM_FUNCTION(mKernel32, DeleteFileA);
    SYSTEM_FUNCTION(mKernel32, GetFileInformationByHandle);
    SYSTEM_FUNCTION(mKernel32, MoveFileA);
    SYSTEM_FUNCTION(mKernel32, MoveFileExA);
    SYSTEM_FUNCTION(mKernel32, CreateDirectoryA);
    SYSTEM_FUNCTION(mKernel32, GetTempPathA);
    SYSTEM_FUNCTION(mKernel32, GetLocalTime);
    SYSTEM_FUNCTION(mKernel32, GetTimeZoneInformation);
    SYSTEM_FUNCTION(mKernel32, GetCurrentThreadId);
    SYSTEM_FUNCTION(mKernel32, ReleaseMutex);
    SYSTEM_FUNCTION(mKernel32, FindFirstFileA);
    SYSTEM_FUNCTION(mKernel32, FindNextFileA);
    SYSTEM_FUNCTION(mKernel32, FindClose);
    SYSTEM_FUNCTION(mKernel32, GetShortPathNameA);
    SYSTEM_FUNCTION(mKernel32, CreateMutexA);
    SYSTEM_FUNCTION(mKernel32, OpenMutexA);
    SYSTEM_FUNCTION(mKernel32, CreateBoundaryDescriptorA);
    SYSTEM_FUNCTION(mKernel32, AddSIDToBoundaryDescriptor);
    SYSTEM_FUNCTION(mKernel32, DeleteBoundaryDescriptor);
    SYSTEM_FUNCTION(mKernel32, CreatePrivateNamespaceA);
    SYSTEM_FUNCTION(mKernel32, OpenPrivateNamespaceA);
    SYSTEM_FUNCTION(mKernel32, ClosePrivateNamespace);
    SYSTEM_FUNCTION(mKernel32, SetDllDirectoryA);
    SYSTEM_FUNCTION(mKernel32, GetLastError);
    SYSTEM_FUNCTION(mKernel32, GetDriveTypeA);
    SYSTEM_FUNCTION(mKernel32, Sleep);
    SYSTEM_FUNCTION(mKernel32, WaitForMultipleObjects);
    SYSTEM_FUNCTION(mKernel32, GetTickCount);
    SYSTEM_FUNCTION(mKernel32, GetSystemDirectoryA);
    SYSTEM_FUNCTION(mKernel32, GetSystemWow64DirectoryA);
    SYSTEM_FUNCTION(mKernel32, WideCharToMultiByte);
    SYSTEM_FUNCTION(mKernel32, MultiByteToWideChar);
};

} // namespace platform::win32
