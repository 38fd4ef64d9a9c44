#include "World.h"

#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace scenarios {
namespace {

HKEY Root()
{
    return reinterpret_cast<HKEY>(World::kRoot);
}

std::string FolderOfThisProgram()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\'));
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry{};
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                RemoveTree(path);
            } else {
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

// The real system, through the tool's own Win32 layer; the world's corner of
// it is arranged and observed with the plain API.
class Win32World final : public World {
public:
    Win32World()
    {
        ::RegDeleteTreeA(Root(), TestKey().c_str());
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        mFolder = std::string(temp) + "KestrinScenarios";
        RemoveTree(mFolder);
        ::CreateDirectoryA(mFolder.c_str(), nullptr);
    }

    ~Win32World() override
    {
        // A link is deleted as itself: a delete of its name would go to what it leads to.
        for (const std::string& link : mLinks) {
            HKEY key = nullptr;
            if (::RegOpenKeyExA(Root(), link.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                ::RegDeleteKeyA(key, "");
                ::RegCloseKey(key);
            }
        }
        for (const PROCESS_INFORMATION& started : mPrograms) {
            ::TerminateProcess(started.hProcess, 0);
            ::WaitForSingleObject(started.hProcess, 5000);
            ::CloseHandle(started.hProcess);
            ::CloseHandle(started.hThread);
        }
        RemoveTree(mFolder);
        ::RegDeleteTreeA(Root(), TestKey().c_str());
    }

    Win32World(const Win32World&) = delete;
    Win32World& operator=(const Win32World&) = delete;

    bool IsFake() const override { return false; }

    bool NineXRegistry() const override
    {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        ::GetVersionExA(&version);
        return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    }

    std::string TestKey() const override { return "Software\\KestrinScenarios"; }

    // The last component is created below its opened parent: Wine's ANSI
    // registry calls take no path of more than 259 characters.
    void MakeKey(const std::string& path, const std::string& keyClass) override
    {
        const auto separator = path.rfind('\\');
        HKEY parent = nullptr;
        if (::RegCreateKeyExA(Root(), path.substr(0, separator).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &parent, nullptr) != ERROR_SUCCESS) {
            return;
        }
        HKEY key = nullptr;
        std::string classText = keyClass;
        if (::RegCreateKeyExA(parent, path.substr(separator + 1).c_str(), 0,
                              classText.empty() ? nullptr : classText.data(), 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr) == ERROR_SUCCESS) {
            ::RegCloseKey(key);
        }
        ::RegCloseKey(parent);
    }

    void SetValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExA(Root(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            ::RegSetValueExA(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
            ::RegCloseKey(key);
        }
    }

    std::optional<StoredValue> Value(const std::string& path, const std::string& name) override
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(Root(), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD type = 0;
        DWORD bytes = 0;
        std::optional<StoredValue> value;
        if (::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
            value = StoredValue{type, std::vector<std::uint8_t>(bytes)};
            ::RegQueryValueExA(key, name.c_str(), nullptr, &type, value->data.data(), &bytes);
        }
        ::RegCloseKey(key);
        return value;
    }

    std::optional<std::string> KeyClass(const std::string& path) override
    {
        const auto separator = path.rfind('\\');
        HKEY parent = nullptr;
        if (::RegOpenKeyExA(Root(), path.substr(0, separator).c_str(), 0, KEY_READ, &parent) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        HKEY key = nullptr;
        const LONG status = ::RegOpenKeyExA(parent, path.substr(separator + 1).c_str(), 0, KEY_READ, &key);
        ::RegCloseKey(parent);
        if (status != ERROR_SUCCESS) {
            return std::nullopt;
        }
        char keyClass[256] = {};
        DWORD classChars = sizeof(keyClass);
        ::RegQueryInfoKeyA(key, keyClass, &classChars, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr);
        ::RegCloseKey(key);
        return std::string(keyClass, classChars);
    }

    // Named as the kernel names the user's hive: \Registry\User\<her SID>.
    void MakeLink(const std::string& path, const std::string& target) override
    {
        HANDLE token = nullptr;
        ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
        std::vector<std::uint8_t> user(512);
        DWORD size = 0;
        ::GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size);
        ::CloseHandle(token);
        LPSTR sid = nullptr;
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid);
        const std::string named = std::string("\\Registry\\User\\") + sid + "\\" + target;
        ::LocalFree(sid);
        const std::wstring wide(named.begin(), named.end());
        HKEY link = nullptr;
        if (::RegCreateKeyExA(Root(), path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide.data()),
                             static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
            ::RegCloseKey(link);
            mLinks.push_back(path);
        }
    }

    std::string Folder() const override { return mFolder; }

    void AddEntry(const std::string& relativePath, std::uint32_t attributes) override
    {
        const std::string path = mFolder + "\\" + relativePath;
        const auto separator = relativePath.rfind('\\');
        if (separator != std::string::npos) {
            ::CreateDirectoryA((mFolder + "\\" + relativePath.substr(0, separator)).c_str(), nullptr);
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ::CreateDirectoryA(path.c_str(), nullptr);
        } else {
            HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                ::CloseHandle(file);
            }
        }
        ::SetFileAttributesA(path.c_str(), attributes & ~static_cast<std::uint32_t>(FILE_ATTRIBUTE_DIRECTORY));
    }

    void StartProgram(const std::string& folder, const std::string& exeName) override
    {
        ::CreateDirectoryA((mFolder + "\\" + folder).c_str(), nullptr);
        const std::string path = mFolder + "\\" + folder + "\\" + exeName;
        ::CopyFileA((FolderOfThisProgram() + "\\sleeper.exe").c_str(), path.c_str(), FALSE);
        std::string commandLine = "\"" + path + "\" 120";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &started)) {
            mPrograms.push_back(started);
            mProgramNames.push_back(exeName);
            WaitUntilLoaded(started.hProcess);
        }
    }

    // A process's modules are listed only once its loader has run, which
    // on a busy machine can be after the scenario looks for it by name.
    static void WaitUntilLoaded(HANDLE process)
    {
        using EnumModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
        const auto enumModules = reinterpret_cast<EnumModules>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "K32EnumProcessModules")));
        for (int tries = 0; enumModules != nullptr && tries < 250; ++tries) {
            HMODULE module = nullptr;
            DWORD needed = 0;
            if (enumModules(process, &module, sizeof(module), &needed) != FALSE && needed > 0) {
                return;
            }
            ::Sleep(20);
        }
    }

    int Running(const std::string& exeName) override
    {
        int running = 0;
        for (std::size_t i = 0; i < mPrograms.size(); ++i) {
            if (mProgramNames[i] == exeName && ::WaitForSingleObject(mPrograms[i].hProcess, 0) == WAIT_TIMEOUT) {
                ++running;
            }
        }
        return running;
    }

    std::optional<std::string> FileContents(const std::string& path) override
    {
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return std::nullopt;
        }
        std::string contents;
        char buffer[65536];
        DWORD read = 0;
        while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            contents.append(buffer, read);
        }
        ::CloseHandle(file);
        return contents;
    }

    void AddHardLink(const std::string& existing, const std::string& added) override
    {
        ::CreateHardLinkA((mFolder + "\\" + added).c_str(), (mFolder + "\\" + existing).c_str(), nullptr);
    }

    std::optional<int> OpenHandles() override { return std::nullopt; }

private:
    platform::win32::Win32Platform mSystem;
    platform::ScopedServices mInstalled{mSystem.AsServices()};
    std::string mFolder;
    std::vector<std::string> mLinks;
    std::vector<PROCESS_INFORMATION> mPrograms;
    std::vector<std::string> mProgramNames;
};

} // namespace

std::vector<WorldKind> Worlds()
{
    return {{"Win32", [] { return std::unique_ptr<World>(std::make_unique<Win32World>()); }}};
}

} // namespace scenarios
