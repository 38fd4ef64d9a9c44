#pragma once

#include "platform/KernelServices.h"
#include "platform/SystemCodes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fakes {

// One process of the fake table. Each capability can be taken away to stand
// for a process the caller may not open, whose modules a 32-bit caller cannot
// list (a 64-bit process), and so on.
struct FakeProcess {
    std::uint32_t id = 0;
    std::string path;                   // what the NT line reports, full path
    std::optional<std::string> exeFile; // szExeFile of the 9x line; the path when unset
    bool canOpen = true;
    bool canListModules = true;
    bool canQueryImageName = true;
    bool moduleNameEmpty = false;
    bool canTerminate = true;
    bool terminated = false;
    // When a started program ends, on the fake clock, and its exit code; never when unset.
    std::optional<std::uint32_t> endsAt;
    std::uint32_t exitCode = 0;
};

// One entry of a fake folder: the name field as raw ANSI bytes (260 of them
// with no NUL stand for a name that fills the field) and its attributes.
struct FakeEntry {
    std::string name;
    std::uint32_t attributes = 0x20;
    std::vector<std::uint8_t> contents = {};
    // A junction or a symbolic link (attribute 0x400): the full path it leads to.
    std::string linkTo = {};
    // How many names the file has: more than one for a hard link.
    std::uint32_t links = 1;
    // Its owner and access list; none for the default of a folder made by the system.
    std::optional<platform::DescriptorBytes> security = {};
};

// The first bytes of a PE image of the machine (0x014C, 0x8664), cut short
// of the machine field when cut.
std::vector<std::uint8_t> PeImage(std::uint16_t machine, bool cut = false);
// A whole PE image of the machine, PE32 or PE32+ as it needs, with one
// section that holds an import table naming the libraries, a manifest naming
// the assemblies and an export table naming the functions, and a security
// directory when it is signed. By default it exports what a component does.
std::vector<std::uint8_t> PeImageImporting(std::uint16_t machine, const std::vector<std::string>& libraries,
                                           bool isSigned = false, const std::vector<std::string>& assemblies = {},
                                           const std::vector<std::string>& exports = {"DllRegisterServer"});

// kernel32 in memory: a version source, a process table with NT and 9x
// behaviour, handle bookkeeping and a code page (Latin-1, '?' for the rest).
class FakeKernel : public platform::KernelServices {
public:
    // Version source.
    std::uint32_t platformId = 2;
    std::uint32_t majorVersion = 5;
    std::uint32_t minorVersion = 1;
    bool versionCallFails = false;
    int versionQueries = 0;

    // Process table and its failures.
    std::vector<FakeProcess> processes;
    bool snapshotFails = false;
    bool hasQueryFullProcessImageName = true;
    std::vector<std::uint32_t> openedIds;
    std::vector<std::uint32_t> openAccesses;
    std::vector<std::uint32_t> terminateExitCodes;

    FakeProcess& AddProcess(std::uint32_t id, std::string path);
    FakeProcess* Find(std::uint32_t id);
    int OpenHandleCount() const { return static_cast<int>(mHandles.size()); }

    bool GetVersionExA(platform::OsVersionInfoA& info) override;
    platform::Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
    bool Process32First(platform::Handle snapshot, platform::ProcessEntry32A& entry) override;
    bool Process32Next(platform::Handle snapshot, platform::ProcessEntry32A& entry) override;
    platform::Handle OpenProcess(std::uint32_t access, bool inheritHandle, std::uint32_t processId) override;
    bool TerminateProcess(platform::Handle process, std::uint32_t exitCode) override;
    bool CloseHandle(platform::Handle handle) override;
    bool GetExitCodeProcess(platform::Handle process, std::uint32_t& exitCode) override;
    bool HasQueryFullProcessImageNameA() override { return hasQueryFullProcessImageName; }
    bool QueryFullProcessImageNameA(platform::Handle process, std::uint32_t flags, char* exeName,
                                    std::uint32_t& size) override;
    bool Is64BitWindows() override { return windows64; }
    std::uint32_t GetFileAttributesA(const std::string& path) override;
    platform::Handle CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t creation, std::uint32_t flags,
                                 const platform::DescriptorBytes* descriptor) override;
    std::optional<platform::FileInformation> GetFileInformationByHandle(platform::Handle file) override;
    bool ReadFile(platform::Handle file, std::uint8_t* data, std::uint32_t bytes, std::uint32_t& read) override;
    bool WriteFile(platform::Handle file, const std::uint8_t* data, std::uint32_t bytes,
                   std::uint32_t& written) override;
    std::optional<std::uint64_t> GetFileSize(platform::Handle file) override;
    std::uint32_t SetFilePointer(platform::Handle file, std::int32_t distance, std::uint32_t method) override;
    bool DeleteFileA(const std::string& path) override;
    bool MoveFileA(const std::string& from, const std::string& to) override;
    bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) override;
    bool CreateDirectoryA(const std::string& path, const platform::DescriptorBytes* descriptor) override;
    std::string GetTempPathA() override { return tempPath; }
    platform::SystemTime GetLocalTime() override { return localTime; }
    std::int32_t GetTimeZoneBias() override { return timeZoneBias; }
    std::uint32_t GetCurrentThreadId() override { return 0x1A2C; }
    platform::Handle FindFirstFileA(const std::string& pattern, platform::Win32FindDataA& data) override;
    bool FindNextFileA(platform::Handle find, platform::Win32FindDataA& data) override;
    bool FindClose(platform::Handle find) override;
    std::string GetShortPathNameA(const std::string& path) override;
    platform::Handle CreateMutexA(const std::string& name, const platform::DescriptorBytes* descriptor,
                                  std::int32_t& lastError) override;
    platform::Handle OpenMutexA(const std::string& name, std::int32_t& lastError) override;
    bool ReleaseMutex(platform::Handle mutex) override;
    bool HasPrivateNamespaces() override { return hasPrivateNamespaces; }
    platform::Handle CreatePrivateNamespaceA(const platform::DescriptorBytes& descriptor, const platform::Sid& boundary,
                                             const std::string& alias, std::int32_t& lastError) override;
    platform::Handle OpenPrivateNamespaceA(const platform::Sid& boundary, const std::string& alias) override;
    bool ClosePrivateNamespace(platform::Handle privateNamespace) override;
    std::uint32_t GetDriveTypeA(const std::string& root) override;
    void Sleep(std::uint32_t milliseconds) override;
    // The first of the processes to end, moving the clock on to its end; a timeout otherwise.
    std::uint32_t WaitForMultipleObjects(const std::vector<platform::Handle>& handles,
                                         std::uint32_t milliseconds) override;
    std::uint32_t GetTickCount() override { return now; }
    std::string GetSystemDirectoryA() override { return systemDirectory; }
    std::string GetSystemWow64DirectoryA() override { return windows64 ? "C:\\WINDOWS\\SysWOW64" : ""; }
    std::string WideToAnsi(std::u16string_view text) override;
    std::u16string AnsiToWide(std::string_view ansi) override;

    // Folders by path without the closing separator, compared without case;
    // their entries are returned in the order given. A search matches a
    // name's 8.3 alias too, as on a volume that keeps them.
    std::map<std::string, std::vector<FakeEntry>> folders;
    std::vector<std::string> findPatterns;
    // FindNextFileA raises this run-time error once this many entries have been returned.
    std::optional<std::size_t> findFailsAfter;
    int OpenFindCount() const;

    // A 32-bit program on 64-bit Windows, with its SysWOW64 folder.
    bool windows64 = false;

    // Folders whose files may be read but not made, written or removed, compared without case.
    std::set<std::string> readOnlyFolders;
    // The entries of a folder by its path without the closing separator, without case; null when there is none.
    const std::vector<FakeEntry>* FolderAt(const std::string& folder) const;
    // The entry of a file by its full path, without case; null when there is none.
    FakeEntry* EntryAt(const std::string& path);
    // The whole contents of a file by its path, or none.
    std::optional<std::string> Contents(const std::string& path) const;
    std::string tempPath = "C:\\Users\\admin\\AppData\\Local\\Temp\\";
    platform::SystemTime localTime = {2026, 12, 3, 9, 8, 47, 5, 123};
    std::int32_t timeZoneBias = -60;

    // Named mutexes another copy holds; those the tool may not create or open.
    std::set<std::string> othersMutexes;
    std::set<std::string> deniedMutexes;
    // Mutexes another program holds and does not let go: a wait for one times out.
    std::set<std::string> busyMutexes;
    // Each ReleaseMutex of a mutex no wait took.
    int releasesNotHeld = 0;
    // GetFileInformationByHandle cannot tell what a file is.
    bool fileInformationFails = false;
    // The owners of others' mutexes by name; one not listed is the administrators'.
    std::map<std::string, std::string> mutexOwners;
    // A token whose owner a new mutex may not have (ERROR_INVALID_OWNER for a descriptor that names one).
    bool mutexOwnerRefused = false;
    // The descriptors the tool made its mutexes with, by name.
    std::map<std::string, platform::DescriptorBytes> mutexDescriptors;
    // Private namespaces: whether the system has them, another copy's by
    // alias, and whether the tool's token holds the boundary's group.
    bool hasPrivateNamespaces = true;
    std::set<std::string> othersNamespaces;
    bool inNamespaceBoundary = true;
    // Who owns what the tool makes without naming an owner: its token's owner.
    std::string defaultOwner = "S-1-5-32-544";
    // The owner and access list of an object a handle is open on, as GetKernelObjectSecurity reads them.
    std::optional<platform::DescriptorBytes> SecurityOf(platform::Handle object) const;
    // Every open of a file or folder: its path and flags.
    std::vector<std::pair<std::string, std::uint32_t>> fileOpens;
    // Drive types by letter; a drive not listed is none.
    std::map<char, std::uint32_t> driveTypes = {{'C', platform::kDriveFixed}};

    // 8.3 forms of long paths, by the long path without case.
    std::map<std::string, std::string> shortPaths;
    // Every path a file-system call was given, in order.
    std::vector<std::string> fileSystemPaths;

    // The clock: pauses and waits move it on.
    std::uint32_t now = 5000;
    // A process started now that runs for runsFor milliseconds (for ever when
    // unset); returns its handle, opened as a launch opens it.
    platform::Handle StartProcess(const std::string& path, std::optional<std::uint32_t> runsFor,
                                  std::uint32_t exitCode);
    // When the process of a handle ends; none for one that never does or no process.
    std::optional<std::uint32_t> EndOf(platform::Handle process);

    std::vector<std::uint32_t> sleptMilliseconds;
    // Where pauses are written, beside the other fakes' events; may stay null.
    std::vector<std::string>* journal = nullptr;
    std::string systemDirectory = "C:\\WINDOWS\\system32";

    // The process a handle of OpenProcess stands for, or null.
    FakeProcess* ProcessOf(platform::Handle handle);
    // A token of a process, closed by CloseHandle; and the process a token is of.
    platform::Handle OpenToken(std::uint32_t processId);
    std::optional<std::uint32_t> ProcessOfToken(platform::Handle token) const;

private:
    struct OpenHandle {
        enum class Kind { Process, Snapshot, Find, File, Token, Mutex, Namespace } kind;
        std::uint32_t processId = 0;
        std::uint32_t access = 0;
        std::vector<FakeProcess> snapshot;
        // The next entry, the file's position; how many waits hold a mutex.
        std::size_t next = 0;
        std::vector<FakeEntry> found;
        // A file's path; a mutex's name.
        std::string path = {};
    };

    bool FillEntry(OpenHandle& snapshot, platform::ProcessEntry32A& entry);
    // The path with every folder on it that is a link replaced by what it leads to.
    std::string Resolved(const std::string& folder) const;
    const std::vector<FakeEntry>* RawFolderAt(const std::string& folder) const;
    // A path's folder resolved, and its last name as it is.
    std::string Located(const std::string& path) const;
    // The whole descriptor of an object: its owner named where it was made without one.
    platform::DescriptorBytes WithOwner(const std::optional<platform::DescriptorBytes>& descriptor) const;
    bool NamespaceExists(const std::string& alias) const;
    // The entry of a file by its full path, without case; null when there is none.
    const FakeEntry* EntryAt(const std::string& path) const;
    bool IsReadOnly(const std::string& folder) const;
    bool HoldsMutex(const std::string& name) const;

    static void FillFound(const FakeEntry& entry, platform::Win32FindDataA& data);
    platform::Handle NewHandle(OpenHandle handle);

    std::map<platform::Handle, OpenHandle> mHandles;
    platform::Handle mNextHandle = 0x100;
    std::uint32_t mNextStartedId = 0x7000;
    std::size_t mFindHint = 0;
};

} // namespace fakes
