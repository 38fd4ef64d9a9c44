// Test-only COM server: its registration entry points record each call
// (action and file name, in the order they end) under
// HKCU\Software\KestrinTest\Calls, and which files are registered now under
// HKCU\Software\KestrinTest\Registered, where the end-to-end tests read them
// back. Copies of this one DLL stand for every component of the add-in; a copy
// whose name starts with "Slow" takes 3 seconds to unregister, and a copy
// named KROutlook.dll registers the add-in's class, KestrinSoftware.Connect,
// as the real library does: with its own path, or the path a test put in
// HKCU\Software\KestrinTest "InprocServer32". So does a backup copy of it
// ("KROutlook.dll_old"), as an old version of the library would. Where a test
// sets HKCU\Software\KestrinTest "DropRegistration", its DllUnregisterServer
// deletes the add-in's Outlook registration, as many add-in libraries do;
// where it sets "WriteRegistration", its DllRegisterServer writes one of its
// own, LoadBehavior 3 and its own name, as an add-in's installer may. The
// build that needs the Kestrin run-time does not load without kestrinrt.dll.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HINSTANCE gModule = nullptr;

const char* FileName()
{
    static char path[MAX_PATH] = {};
    ::GetModuleFileNameA(gModule, path, MAX_PATH);
    const char* slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

void Record(const char* action)
{
    const char* name = FileName();

    // regsvr32 runs of several files may overlap: one writer at a time.
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, "KestrinTestCalls");
    ::WaitForSingleObject(mutex, 10000);
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KestrinTest\\Calls", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) == ERROR_SUCCESS) {
        DWORD count = 0;
        DWORD size = sizeof(count);
        ::RegQueryValueExA(key, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
        ++count;
        char valueName[16];
        std::snprintf(valueName, sizeof(valueName), "%04lu", static_cast<unsigned long>(count));
        char call[MAX_PATH + 32];
        std::snprintf(call, sizeof(call), "%s %s", action, name);
        ::RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(call),
                         static_cast<DWORD>(std::strlen(call) + 1));
        ::RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof(count));
        ::RegCloseKey(key);
    }
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KestrinTest\\Registered", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS) {
        if (std::strcmp(action, "register") == 0) {
            const DWORD one = 1;
            ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        } else {
            ::RegDeleteValueA(key, name);
        }
        ::RegCloseKey(key);
    }
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}

#ifdef KESTRIN_NEEDS_RUNTIME
extern "C" __declspec(dllimport) int KestrinRuntimeVersion();
#endif

const char kClsid[] = "{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}";
const char kClassKey[] = "CLSID\\{5B7E0C1A-6D0B-4C5F-9E0A-3A1F2B4C6D7E}";

bool IsMainLibrary()
{
    return ::_strnicmp(FileName(), "KROutlook.dll", 13) == 0;
}

void RegisterAddinClass()
{
    char server[MAX_PATH] = {};
    DWORD size = sizeof(server);
    if (::RegGetValueA(HKEY_CURRENT_USER, "Software\\KestrinTest", "InprocServer32", RRF_RT_REG_SZ, nullptr, server,
                       &size) != ERROR_SUCCESS) {
        ::GetModuleFileNameA(gModule, server, MAX_PATH);
    }
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, "KestrinSoftware.Connect\\CLSID", nullptr, REG_SZ, kClsid, sizeof(kClsid));
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\InprocServer32").c_str(), nullptr, REG_SZ, server,
                      static_cast<DWORD>(std::strlen(server) + 1));
}

void UnregisterAddinClass()
{
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "KestrinSoftware.Connect");
}

bool TestAsks(const char* setting)
{
    DWORD asked = 0;
    DWORD size = sizeof(asked);
    return ::RegGetValueA(HKEY_CURRENT_USER, "Software\\KestrinTest", setting, RRF_RT_REG_DWORD, nullptr, &asked,
                          &size) == ERROR_SUCCESS &&
           asked != 0;
}

const char kRegistrationKey[] = "Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";

void DropRegistration()
{
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRegistrationKey);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kRegistrationKey);
}

void WriteRegistration()
{
    const DWORD enabled = 3;
    const char name[] = "Kestrin Connect";
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRegistrationKey);
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRegistrationKey, "LoadBehavior", REG_DWORD, &enabled, sizeof(enabled));
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRegistrationKey, "FriendlyName", REG_SZ, name, sizeof(name));
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = module;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
#ifdef KESTRIN_NEEDS_RUNTIME
    KestrinRuntimeVersion();
#endif
    if (IsMainLibrary()) {
        RegisterAddinClass();
        if (TestAsks("WriteRegistration")) {
            WriteRegistration();
        }
    }
    Record("register");
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    if (::_strnicmp(FileName(), "Slow", 4) == 0) {
        ::Sleep(3000);
    }
    if (IsMainLibrary()) {
        UnregisterAddinClass();
        if (TestAsks("DropRegistration")) {
            DropRegistration();
        }
    }
    Record("unregister");
    return S_OK;
}
