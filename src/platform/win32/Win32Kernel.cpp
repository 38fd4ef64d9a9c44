#include "platform/win32/Win32Kernel.h"

#include "common/RuntimeError.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace platform::win32 {
namespace {

// The system takes a descriptor it does not change through a pointer that is not const.
class Attributes {
public:
    explicit Attributes(const DescriptorBytes* descriptor) : mCopy(descriptor ? *descriptor : DescriptorBytes())
    {
        mAttributes.nLength = sizeof(mAttributes);
        mAttributes.lpSecurityDescriptor = mCopy.data();
        mAttributes.bInheritHandle = FALSE;
        mGiven = descriptor != nullptr;
    }
    LPSECURITY_ATTRIBUTES Get() noexcept { return mGiven ? &mAttributes : nullptr; }

private:
    DescriptorBytes mCopy;
    SECURITY_ATTRIBUTES mAttributes{};
    bool mGiven = false;
};

} // namespace

class Win32Kernel::Boundary {
public:
    Boundary(Win32Kernel& kernel, const Sid& group, const std::string& name)
        : mKernel(kernel), mHandle(kernel.mCreateBoundaryDescriptorA(name.c_str(), 0))
    {
        Sid copy = group;
        if (mHandle != nullptr && kernel.mAddSIDToBoundaryDescriptor(&mHandle, copy.data()) == FALSE) {
            Reset();
        }
    }
    Boundary(const Boundary&) = delete;
    Boundary& operator=(const Boundary&) = delete;
    ~Boundary() { Reset(); }

    HANDLE Get() const noexcept { return mHandle; }

private:
    void Reset() noexcept
    {
        if (mHandle != nullptr) {
            mKernel.mDeleteBoundaryDescriptor(mHandle);
            mHandle = nullptr;
        }
    }

    Win32Kernel& mKernel;
    HANDLE mHandle = nullptr;
};

static_assert(sizeof(OsVersionInfoA) == sizeof(OSVERSIONINFOA));
static_assert(sizeof(ProcessEntry32A) == sizeof(PROCESSENTRY32));
static_assert(sizeof(Win32FindDataA) == sizeof(WIN32_FIND_DATAA));
static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME));

bool Win32Kernel::GetVersionExA(OsVersionInfoA& info)
{
    return mGetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)) != FALSE;
}

Handle Win32Kernel::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId)
{
    return FromHandle(mCreateToolhelp32Snapshot(flags, processId));
}

bool Win32Kernel::Process32First(Handle snapshot, ProcessEntry32A& entry)
{
    return mProcess32First(AsHandle(snapshot), reinterpret_cast<LPPROCESSENTRY32>(&entry)) != FALSE;
}

bool Win32Kernel::Process32Next(Handle snapshot, ProcessEntry32A& entry)
{
    return mProcess32Next(AsHandle(snapshot), reinterpret_cast<LPPROCESSENTRY32>(&entry)) != FALSE;
}

Handle Win32Kernel::OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId)
{
    return FromHandle(mOpenProcess(access, inheritHandle ? TRUE : FALSE, processId));
}

bool Win32Kernel::TerminateProcess(Handle process, std::uint32_t exitCode)
{
    return mTerminateProcess(AsHandle(process), exitCode) != FALSE;
}

bool Win32Kernel::CloseHandle(Handle handle)
{
    return mCloseHandle(AsHandle(handle)) != FALSE;
}

bool Win32Kernel::GetExitCodeProcess(Handle process, std::uint32_t& exitCode)
{
    DWORD code = 0;
    const BOOL ok = mGetExitCodeProcess(AsHandle(process), &code);
    exitCode = code;
    return ok != FALSE;
}

bool Win32Kernel::HasQueryFullProcessImageNameA()
{
    return mQueryFullProcessImageNameA.Available();
}

bool Win32Kernel::QueryFullProcessImageNameA(Handle process, std::uint32_t flags, char* exeName, std::uint32_t& size)
{
    DWORD chars = size;
    const BOOL ok = mQueryFullProcessImageNameA(AsHandle(process), flags, exeName, &chars);
    size = chars;
    return ok != FALSE;
}

bool Win32Kernel::Is64BitWindows()
{
    // A 64-bit program runs on nothing else.
    if constexpr (sizeof(void*) == 8) {
        return true;
    }
    BOOL wow = FALSE;
    return mIsWow64Process.Available() && mIsWow64Process(AsHandle(kCurrentProcess), &wow) != FALSE && wow != FALSE;
}

std::uint32_t Win32Kernel::GetFileAttributesA(const std::string& path)
{
    return mGetFileAttributesA(path.c_str());
}

Handle Win32Kernel::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                std::uint32_t creation, std::uint32_t flags, const DescriptorBytes* descriptor)
{
    Attributes attributes(descriptor);
    return FromHandle(
        mCreateFileA(path.c_str(), access, share, attributes.Get(), creation, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
}

std::optional<FileInformation> Win32Kernel::GetFileInformationByHandle(Handle file)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (mGetFileInformationByHandle(AsHandle(file), &information) == FALSE) {
        return std::nullopt;
    }
    return FileInformation{information.dwFileAttributes, information.nNumberOfLinks};
}

bool Win32Kernel::ReadFile(Handle file, std::uint8_t* data, std::uint32_t bytes, std::uint32_t& read)
{
    DWORD got = 0;
    const BOOL ok = mReadFile(AsHandle(file), data, bytes, &got, nullptr);
    read = got;
    return ok != FALSE;
}

bool Win32Kernel::WriteFile(Handle file, const std::uint8_t* data, std::uint32_t bytes, std::uint32_t& written)
{
    DWORD put = 0;
    const BOOL ok = mWriteFile(AsHandle(file), data, bytes, &put, nullptr);
    written = put;
    return ok != FALSE;
}

std::optional<std::uint64_t> Win32Kernel::GetFileSize(Handle file)
{
    DWORD high = 0;
    const DWORD low = mGetFileSize(AsHandle(file), &high);
    // INVALID_FILE_SIZE is also the low half of a size: only the last error tells, and never for a log's size.
    if (low == INVALID_FILE_SIZE && high == 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::uint32_t Win32Kernel::SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method)
{
    return mSetFilePointer(AsHandle(file), distance, nullptr, method);
}

bool Win32Kernel::DeleteFileA(const std::string& path)
{
    return mDeleteFileA(path.c_str()) != FALSE;
}

bool Win32Kernel::MoveFileA(const std::string& from, const std::string& to)
{
    return mMoveFileA(from.c_str(), to.c_str()) != FALSE;
}

bool Win32Kernel::MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags)
{
    return mMoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
}

bool Win32Kernel::CreateDirectoryA(const std::string& path, const DescriptorBytes* descriptor)
{
    Attributes attributes(descriptor);
    return mCreateDirectoryA(path.c_str(), attributes.Get()) != FALSE;
}

std::string Win32Kernel::GetTempPathA()
{
    char folder[MAX_PATH + 1] = {};
    const DWORD length = mGetTempPathA(MAX_PATH + 1, folder);
    return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string();
}

SystemTime Win32Kernel::GetLocalTime()
{
    SystemTime time{};
    mGetLocalTime(reinterpret_cast<LPSYSTEMTIME>(&time));
    return time;
}

std::int32_t Win32Kernel::GetTimeZoneBias()
{
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = mGetTimeZoneInformation(&zone);
    return zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                        : which == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                         : 0);
}

std::uint32_t Win32Kernel::GetCurrentThreadId()
{
    return mGetCurrentThreadId();
}

Handle Win32Kernel::FindFirstFileA(const std::string& pattern, Win32FindDataA& data)
{
    return FromHandle(mFindFirstFileA(pattern.c_str(), reinterpret_cast<LPWIN32_FIND_DATAA>(&data)));
}

bool Win32Kernel::FindNextFileA(Handle find, Win32FindDataA& data)
{
    return mFindNextFileA(AsHandle(find), reinterpret_cast<LPWIN32_FIND_DATAA>(&data)) != FALSE;
}

bool Win32Kernel::FindClose(Handle find)
{
    return mFindClose(AsHandle(find)) != FALSE;
}

std::string Win32Kernel::GetShortPathNameA(const std::string& path)
{
    // A 8.3 form is never longer than the long one; retry once at the size asked for all the same.
    std::vector<char> shortPath(MAX_PATH, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = mGetShortPathNameA(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
        if (length == 0) {
            return {};
        }
        if (length < shortPath.size()) {
            return std::string(shortPath.data(), length);
        }
        shortPath.assign(length, '\0');
    }
    return {};
}

Handle Win32Kernel::CreateMutexA(const std::string& name, const DescriptorBytes* descriptor, std::int32_t& lastError)
{
    Attributes attributes(descriptor);
    const HANDLE mutex = mCreateMutexA(attributes.Get(), FALSE, name.c_str());
    lastError = static_cast<std::int32_t>(mGetLastError());
    return FromHandle(mutex);
}

Handle Win32Kernel::OpenMutexA(const std::string& name, std::int32_t& lastError)
{
    const HANDLE mutex = mOpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    lastError = static_cast<std::int32_t>(mGetLastError());
    return FromHandle(mutex);
}

bool Win32Kernel::ReleaseMutex(Handle mutex)
{
    return mReleaseMutex(AsHandle(mutex)) != FALSE;
}

bool Win32Kernel::HasPrivateNamespaces()
{
    return mCreateBoundaryDescriptorA.Available() && mAddSIDToBoundaryDescriptor.Available() &&
           mDeleteBoundaryDescriptor.Available() && mCreatePrivateNamespaceA.Available() &&
           mOpenPrivateNamespaceA.Available() && mClosePrivateNamespace.Available();
}

// The boundary descriptor lives only as long as the call: the namespace keeps what it needs of it.
Handle Win32Kernel::CreatePrivateNamespaceA(const DescriptorBytes& descriptor, const Sid& boundary,
                                            const std::string& alias, std::int32_t& lastError)
{
    const Boundary bounded(*this, boundary, alias);
    if (bounded.Get() == nullptr) {
        lastError = static_cast<std::int32_t>(mGetLastError());
        return 0;
    }
    Attributes attributes(&descriptor);
    const HANDLE made = mCreatePrivateNamespaceA(attributes.Get(), bounded.Get(), alias.c_str());
    lastError = static_cast<std::int32_t>(mGetLastError());
    return FromHandle(made);
}

Handle Win32Kernel::OpenPrivateNamespaceA(const Sid& boundary, const std::string& alias)
{
    const Boundary bounded(*this, boundary, alias);
    return bounded.Get() == nullptr ? 0 : FromHandle(mOpenPrivateNamespaceA(bounded.Get(), alias.c_str()));
}

bool Win32Kernel::ClosePrivateNamespace(Handle privateNamespace)
{
    return mClosePrivateNamespace(AsHandle(privateNamespace), 0) != FALSE;
}

void Win32Kernel::KeepCurrentFolderOutOfLibrarySearch() noexcept
{
    if (mSetDllDirectoryA.Available()) {
        mSetDllDirectoryA("");
    }
}

std::uint32_t Win32Kernel::GetDriveTypeA(const std::string& root)
{
    return mGetDriveTypeA(root.c_str());
}

void Win32Kernel::Sleep(std::uint32_t milliseconds)
{
    mSleep(milliseconds);
}

std::uint32_t Win32Kernel::WaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds)
{
    std::vector<HANDLE> waited(handles.size());
    std::transform(handles.begin(), handles.end(), waited.begin(), AsHandle);
    return mWaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE, milliseconds);
}

std::uint32_t Win32Kernel::GetTickCount()
{
    return mGetTickCount();
}

std::string Win32Kernel::GetSystemDirectoryA()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = mGetSystemDirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string Win32Kernel::GetSystemWow64DirectoryA()
{
    char folder[MAX_PATH + 1] = {};
    if (!mGetSystemWow64DirectoryA.Available()) {
        return {};
    }
    const UINT length = mGetSystemWow64DirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string Win32Kernel::WideToAnsi(std::u16string_view text)
{
    return WideToCodePage(CP_ACP, text);
}

std::string Win32Kernel::WideToCodePage(UINT codePage, std::u16string_view text)
{
    if (text.empty()) {
        return {};
    }
    if (text.size() > INT_MAX / 2) {
        throw RuntimeError::OutOfMemory();
    }
    const auto* wide = reinterpret_cast<LPCWCH>(text.data());
    const int length = static_cast<int>(text.size());
    const int bytes = mWideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        mWideCharToMultiByte(codePage, 0, wide, length, converted.data(), bytes, nullptr, nullptr);
    }
    return converted;
}

std::u16string Win32Kernel::AnsiToWide(std::string_view ansi)
{
    if (ansi.empty()) {
        return {};
    }
    if (ansi.size() > INT_MAX) {
        throw RuntimeError::OutOfMemory();
    }
    const int length = static_cast<int>(ansi.size());
    const int chars = mMultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::u16string text(static_cast<std::size_t>(chars > 0 ? chars : 0), u'\0');
    if (chars > 0) {
        mMultiByteToWideChar(CP_ACP, 0, ansi.data(), length, reinterpret_cast<LPWSTR>(text.data()), chars);
    }
    return text;
}

} // namespace platform::win32
