#pragma once

#include "platform/Handle.h"
#include "platform/SecurityBytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The ANSI records of kernel32, in their published layouts for the program's
// bitness, so that the Win32 side can hand them to the system as they are.
struct OsVersionInfoA {
    std::uint32_t dwOSVersionInfoSize;
    std::uint32_t dwMajorVersion;
    std::uint32_t dwMinorVersion;
    std::uint32_t dwBuildNumber;
    std::uint32_t dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OsVersionInfoA) == 148);

struct ProcessEntry32A {
    std::uint32_t dwSize;
    std::uint32_t cntUsage;
    std::uint32_t th32ProcessID;
    std::uintptr_t th32DefaultHeapID;
    std::uint32_t th32ModuleID;
    std::uint32_t cntThreads;
    std::uint32_t th32ParentProcessID;
    std::int32_t pcPriClassBase;
    std::uint32_t dwFlags;
    char szExeFile[260];
};
static_assert(sizeof(ProcessEntry32A) == (sizeof(void*) == 4 ? 296 : 304));

struct FileTime {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

struct Win32FindDataA {
    std::uint32_t dwFileAttributes;
    FileTime ftCreationTime;
    FileTime ftLastAccessTime;
    FileTime ftLastWriteTime;
    std::uint32_t nFileSizeHigh;
    std::uint32_t nFileSizeLow;
    std::uint32_t dwReserved0;
    std::uint32_t dwReserved1;
    char cFileName[260];
    char cAlternateFileName[14];
};
static_assert(sizeof(Win32FindDataA) == 320);

// What GetFileInformationByHandle tells of an open file that decides whether
// it may be written: its attributes and how many names it has.
struct FileInformation {
    std::uint32_t attributes = 0;
    std::uint32_t links = 0;
};

// GetLocalTime's record.
struct SystemTime {
    std::uint16_t wYear;
    std::uint16_t wMonth;
    std::uint16_t wDayOfWeek;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};
static_assert(sizeof(SystemTime) == 16);

inline constexpr std::uint32_t kTh32csSnapProcess = 0x2;
// GetCurrentProcess's pseudo-handle: it needs no closing.
inline constexpr Handle kCurrentProcess = kInvalidHandleValue;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
// A junction, a symbolic link or a mount point.
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
// Opens a link itself rather than what it leads to; a folder needs backup semantics to be opened at all.
inline constexpr std::uint32_t kFileFlagOpenReparsePoint = 0x00200000;
inline constexpr std::uint32_t kFileFlagBackupSemantics = 0x02000000;
inline constexpr std::uint32_t kReadControl = 0x20000;
inline constexpr std::uint32_t kFileReadAttributes = 0x80;
inline constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kFileShareRead = 0x1;
inline constexpr std::uint32_t kFileShareReadWrite = 0x3;
// Also lets others rename or delete the file while it is open.
inline constexpr std::uint32_t kFileShareAll = 0x7;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kCreateNew = 1;
inline constexpr std::uint32_t kOpenAlways = 4;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
// Writes that land at the file's end, whoever else appends: the NT line's.
inline constexpr std::uint32_t kFileAppendData = 0x4;
inline constexpr std::uint32_t kSynchronize = 0x100000;
inline constexpr std::uint32_t kFileEnd = 2;
inline constexpr std::uint32_t kInvalidSetFilePointer = 0xFFFFFFFF;
inline constexpr std::uint32_t kProcessQueryAndRead = 0x410;
inline constexpr std::uint32_t kProcessAllAccess = 0x1F0FFF;
// Enough to read a process's token: the limited right from Vista on, the full one before.
inline constexpr std::uint32_t kProcessQueryLimitedInformation = 0x1000;
inline constexpr std::uint32_t kProcessQueryInformation = 0x400;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
// At most this many handles in one wait, also in one that wakes for window events.
inline constexpr std::size_t kMaxWaitHandles = 63;

// kernel32: version, processes, folder search, pauses and the code page.
class KernelServices {
public:
    virtual ~KernelServices() = default;

    virtual bool GetVersionExA(OsVersionInfoA& info) = 0;

    virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
    virtual bool Process32First(Handle snapshot, ProcessEntry32A& entry) = 0;
    virtual bool Process32Next(Handle snapshot, ProcessEntry32A& entry) = 0;
    virtual Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) = 0;
    virtual bool TerminateProcess(Handle process, std::uint32_t exitCode) = 0;
    virtual bool CloseHandle(Handle handle) = 0;
    // kStillActive while the process runs.
    virtual bool GetExitCodeProcess(Handle process, std::uint32_t& exitCode) = 0;

    // Absent before Windows Vista; callers ask before they call.
    virtual bool HasQueryFullProcessImageNameA() = 0;
    virtual bool QueryFullProcessImageNameA(Handle process, std::uint32_t flags, char* exeName,
                                            std::uint32_t& size) = 0;

    // 64-bit Windows, whether this program runs on it as a 64-bit one or
    // under WOW64; false where the system cannot tell (before XP SP2, which
    // had no 64-bit edition of its own line).
    virtual bool Is64BitWindows() = 0;

    virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
    // INVALID_HANDLE_VALUE when the file cannot be opened. flags: the
    // FILE_FLAG_ values, 0 for none; descriptor: the security a file it makes
    // gets, null for the folder's.
    virtual Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                               std::uint32_t creation, std::uint32_t flags, const DescriptorBytes* descriptor) = 0;
    // None where the system cannot tell.
    virtual std::optional<FileInformation> GetFileInformationByHandle(Handle file) = 0;
    virtual bool ReadFile(Handle file, std::uint8_t* data, std::uint32_t bytes, std::uint32_t& read) = 0;
    virtual bool WriteFile(Handle file, const std::uint8_t* data, std::uint32_t bytes, std::uint32_t& written) = 0;
    // None when the size cannot be read.
    virtual std::optional<std::uint64_t> GetFileSize(Handle file) = 0;
    // The new position from the file's start; kInvalidSetFilePointer when the call fails.
    virtual std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) = 0;
    virtual bool DeleteFileA(const std::string& path) = 0;
    // Fails where the new name exists.
    virtual bool MoveFileA(const std::string& from, const std::string& to) = 0;
    // With kMoveFileReplaceExisting, the file of the new name is replaced in
    // the same move. The NT line's: the 9x line's fails.
    virtual bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) = 0;
    // Fails where the folder exists already, or its parent does not.
    // descriptor: its security, null for what its parent passes on.
    virtual bool CreateDirectoryA(const std::string& path, const DescriptorBytes* descriptor) = 0;
    // The user's folder for temporary files, with its closing separator; empty when the call fails.
    virtual std::string GetTempPathA() = 0;
    virtual SystemTime GetLocalTime() = 0;
    // The minutes that local time is behind UTC, daylight saving time counted:
    // -60 in Central European Time, 300 in Eastern Standard Time.
    virtual std::int32_t GetTimeZoneBias() = 0;
    virtual std::uint32_t GetCurrentThreadId() = 0;

    virtual Handle FindFirstFileA(const std::string& pattern, Win32FindDataA& data) = 0;
    virtual bool FindNextFileA(Handle find, Win32FindDataA& data) = 0;
    virtual bool FindClose(Handle find) = 0;

    // The 8.3 form of an existing path; empty when the call fails.
    virtual std::string GetShortPathNameA(const std::string& path) = 0;

    // A named mutex, created unowned or opened when it exists: its handle
    // (0 on failure) and the system's last error (183 when it existed).
    // descriptor: the security one it makes gets, null for the default.
    virtual Handle CreateMutexA(const std::string& name, const DescriptorBytes* descriptor,
                                std::int32_t& lastError) = 0;
    // An existing named mutex, opened only to wait on: 0 on failure, with the last error.
    virtual Handle OpenMutexA(const std::string& name, std::int32_t& lastError) = 0;
    // Lets go of a mutex a wait took.
    virtual bool ReleaseMutex(Handle mutex) = 0;

    // A private namespace of named objects (Vista and later): only a process
    // whose token holds the boundary's group may make one or open it, so no
    // one else can take a name in it first. Absent before, so callers ask.
    virtual bool HasPrivateNamespaces() = 0;
    // 0 on failure, with the last error (183 where one of that boundary and alias exists).
    virtual Handle CreatePrivateNamespaceA(const DescriptorBytes& descriptor, const Sid& boundary,
                                           const std::string& alias, std::int32_t& lastError) = 0;
    virtual Handle OpenPrivateNamespaceA(const Sid& boundary, const std::string& alias) = 0;
    virtual bool ClosePrivateNamespace(Handle privateNamespace) = 0;
    // The kind of drive of a root such as "C:\"; kDriveFixed for a local disk.
    virtual std::uint32_t GetDriveTypeA(const std::string& root) = 0;

    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Waits until one of the handles, at most 64, is signalled (its index),
    // or the time runs out (258); 0xFFFFFFFF when the wait fails.
    virtual std::uint32_t WaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds) = 0;
    // Milliseconds since start-up; wraps after 49.7 days.
    virtual std::uint32_t GetTickCount() = 0;
    // Empty when the call fails.
    virtual std::string GetSystemDirectoryA() = 0;
    // The folder of the 32-bit system files on 64-bit Windows; empty on
    // 32-bit Windows and where the system lacks the call.
    virtual std::string GetSystemWow64DirectoryA() = 0;

    virtual std::string WideToAnsi(std::u16string_view text) = 0;
    virtual std::u16string AnsiToWide(std::string_view ansi) = 0;
};

} // namespace platform
