#include "platform/AnsiText.h"
#include "platform/win32/Win32Platform.h"
#include "window/frmMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    platform::win32::Win32Platform system;
    const platform::ScopedServices installed(system.AsServices());
    try {
        frmMain form;
        form.Show();
        return platform::Windowing().RunEventLoop();
    } catch (...) {
        const RuntimeError error = RuntimeError::OfCaughtException();
        platform::Messages().MessageBoxA(0, ToAnsi(error.Report()), ToAnsi(frmMain::Title()), 0);
        return error.ExitCode();
    }
}
