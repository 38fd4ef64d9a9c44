#include "app/frmMain.h"
#include "platform/win32/Win32Platform.h"

#include <new>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    platform::win32::Win32Platform system;
    const platform::ScopedServices installed(system.AsServices());
    try {
        frmMain form;
        form.Show();
        return platform::Windowing().RunEventLoop();
    } catch (const RuntimeError& error) {
        platform::Windowing().MessageBoxA(0, ToAnsi(error.Report()), ToAnsi(frmMain::Title()), 0);
        return error.ExitCode();
    } catch (const std::bad_alloc&) {
        return RuntimeError::OutOfMemory().ExitCode();
    }
}
