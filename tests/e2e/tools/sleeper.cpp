// Stands in for Outlook in the end-to-end tests: a process that does nothing
// for as long as the test needs it, then ends by itself.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const long seconds = std::strtol(commandLine, nullptr, 10);
    ::Sleep(static_cast<DWORD>(seconds > 0 ? seconds : 120) * 1000);
    return 0;
}
