// A run-time library that a build of the test COM server needs and that no
// test installs: what is missing where a Visual C++ run-time is.
#include <windows.h>

extern "C" __declspec(dllexport) int KestrinRuntimeVersion()
{
    return 1;
}
