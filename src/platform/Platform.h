#pragma once

#include "platform/ConsoleServices.h"
#include "platform/DesktopServices.h"
#include "platform/EventLogServices.h"
#include "platform/KernelServices.h"
#include "platform/LaunchServices.h"
#include "platform/MessageServices.h"
#include "platform/ProcessStatusServices.h"
#include "platform/RegistryServices.h"
#include "platform/SecurityServices.h"
#include "platform/WindowingServices.h"

namespace platform {

// The one seam to the operating system: each program's start-up installs the
// real services it uses, tests install fakes. A family a program does not
// install raises a run-time error when called.
struct Services {
    KernelServices* kernel = nullptr;
    ProcessStatusServices* processStatus = nullptr;
    RegistryServices* registry = nullptr;
    WindowingServices* windowing = nullptr;
    LaunchServices* launch = nullptr;
    SecurityServices* security = nullptr;
    MessageServices* messages = nullptr;
    DesktopServices* desktop = nullptr;
    // The console program's alone.
    ConsoleServices* console = nullptr;
    EventLogServices* eventLog = nullptr;
};

KernelServices& Kernel();
ProcessStatusServices& ProcessStatus();
RegistryServices& Registry();
WindowingServices& Windowing();
LaunchServices& Launch();
SecurityServices& Security();
MessageServices& Messages();
DesktopServices& Desktop();
ConsoleServices& Console();
EventLogServices& EventLog();

// The set installed now, for one that stands in for a family of it.
const Services& InstalledServices() noexcept;

// Installs a set of services for its lifetime and restores the previous set.
class ScopedServices {
public:
    explicit ScopedServices(const Services& services) noexcept;
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;
    ~ScopedServices();

private:
    Services mPrevious;
};

} // namespace platform
