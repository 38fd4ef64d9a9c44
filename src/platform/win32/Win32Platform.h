#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Desktop.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/Win32Launch.h"
#include "platform/win32/Win32Messages.h"
#include "platform/win32/Win32ProcessStatus.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Security.h"
#include "platform/win32/Win32Windowing.h"

namespace platform::win32 {

// The real services both programs use, one of each family, over one set of
// system libraries: no window among them.
struct Win32System {
    SystemLibraries libraries;
    Win32Kernel kernel{libraries};
    Win32ProcessStatus processStatus{libraries};
    Win32Registry registry{libraries};
    Win32Launch launch{libraries};
    Win32Security security{libraries};
    Win32Desktop desktop{libraries};
    Win32EventLog eventLog{libraries};

    // A library this program loads is never one planted in its current folder.
    Win32System() noexcept { kernel.KeepCurrentFolderOutOfLibrarySearch(); }
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;

    Services AsServices() noexcept
    {
        Services services;
        services.kernel = &kernel;
        services.processStatus = &processStatus;
        services.registry = &registry;
        services.launch = &launch;
        services.security = &security;
        services.desktop = &desktop;
        services.eventLog = &eventLog;
        return services;
    }
};

// The window program's: the system's and user32's window and boxes.
struct Win32Platform {
    Win32System system;
    Win32Windowing windowing{system.libraries};
    Win32Messages messages{system.libraries};

    Services AsServices() noexcept
    {
        Services services = system.AsServices();
        services.windowing = &windowing;
        services.messages = &messages;
        return services;
    }
};

} // namespace platform::win32
