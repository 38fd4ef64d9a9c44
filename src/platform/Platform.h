#pragma once

#include "platform/KernelServices.h"
#include "platform/LaunchServices.h"
#include "platform/ProcessStatusServices.h"
#include "platform/RegistryServices.h"
#include "platform/SecurityServices.h"
#include "platform/WindowingServices.h"

namespace platform {

// The one seam to the operating system: the Win32 start-up installs the real
// services, tests install fakes.
struct Services {
    KernelServices* kernel = nullptr;
    ProcessStatusServices* processStatus = nullptr;
    RegistryServices* registry = nullptr;
    WindowingServices* windowing = nullptr;
    LaunchServices* launch = nullptr;
    SecurityServices* security = nullptr;
};

KernelServices& Kernel();
ProcessStatusServices& ProcessStatus();
RegistryServices& Registry();
WindowingServices& Windowing();
LaunchServices& Launch();
SecurityServices& Security();

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
