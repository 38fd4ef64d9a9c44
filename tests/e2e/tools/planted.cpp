// Test-only impostor: copied as regsvr32.exe beside the tool and into the
// current folder. If it ever runs, it says so under HKCU\Software\KestrinTest.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KestrinTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExA(key, "Planted", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                         static_cast<DWORD>(std::strlen(commandLine) + 1));
        ::RegCloseKey(key);
    }
    return 0;
}
