// Test-only: what a standard user prepares on the computer against a run of
// the system's, where reg.exe cannot: keys whose names hold line breaks, a
// registry link in her own hive, a named mutex made first and held.
//   prepare key VIEW PATH          nested keys under HKCU, "\n" in PATH a line break
//   prepare link VIEW PATH TARGET  a link under HKCU to the kernel's name of another key
//   prepare unlink VIEW PATH       that link deleted as itself
// VIEW: 32 or 64, the registry's view, as reg.exe's /reg: takes it.
//   prepare mutex NAME SDDL SECONDS   made with that descriptor and held
#include <windows.h>

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string WithLineBreaks(std::string text)
{
    for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at)) {
        text.replace(at, 2, "\r\n");
    }
    return text;
}

REGSAM ViewOf(const std::string& view)
{
    return view == "32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

int MakeKey(REGSAM view, const std::string& path)
{
    HKEY key = nullptr;
    const LONG status = ::RegCreateKeyExA(HKEY_CURRENT_USER, WithLineBreaks(path).c_str(), 0, nullptr, 0,
                                          KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "key: %ld\n", status);
        return 1;
    }
    ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    ::RegCloseKey(key);
    return 0;
}

int MakeLink(REGSAM view, const std::string& path, const std::string& target)
{
    HKEY link = nullptr;
    const LONG status = ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                          KEY_ALL_ACCESS | KEY_CREATE_LINK | view, nullptr, &link, nullptr);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "link: %ld\n", status);
        return 1;
    }
    const std::wstring wide(target.begin(), target.end());
    ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(wide.data()),
                     static_cast<DWORD>(wide.size() * sizeof(wchar_t)));
    ::RegCloseKey(link);
    return 0;
}

int DeleteLink(REGSAM view, const std::string& path)
{
    HKEY link = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | view, &link) !=
        ERROR_SUCCESS) {
        return 1;
    }
    const LONG status = ::RegDeleteKeyA(link, "");
    ::RegCloseKey(link);
    return status == ERROR_SUCCESS ? 0 : 1;
}

int HoldMutex(const std::string& name, const std::string& sddl, int seconds)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        std::fprintf(stderr, "sddl: %lu\n", ::GetLastError());
        return 1;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = ::CreateMutexA(&attributes, TRUE, name.c_str());
    if (mutex == nullptr) {
        std::fprintf(stderr, "mutex: %lu\n", ::GetLastError());
        return 1;
    }
    std::printf("holding %s\n", name.c_str());
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(seconds) * 1000);
    ::CloseHandle(mutex);
    ::LocalFree(descriptor);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "key" && argc > 3) {
        return MakeKey(ViewOf(argv[2]), argv[3]);
    }
    if (command == "link" && argc > 4) {
        return MakeLink(ViewOf(argv[2]), argv[3], argv[4]);
    }
    if (command == "unlink" && argc > 3) {
        return DeleteLink(ViewOf(argv[2]), argv[3]);
    }
    if (command == "mutex" && argc > 4) {
        return HoldMutex(argv[2], argv[3], std::atoi(argv[4]));
    }
    std::fprintf(stderr, "usage: prepare key VIEW PATH | link|unlink VIEW PATH [TARGET] | mutex NAME SDDL SECONDS\n");
    return 2;
}
