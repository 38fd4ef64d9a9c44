#include "platform/Platform.h"

#include "common/RuntimeError.h"

namespace platform {
namespace {

Services gServices;

template <typename T>
// cppcheck-suppress constParameter ; the caller gets the service to call, not a copy
T& Installed(T* service)
{
    if (service == nullptr) {
        throw RuntimeError(91, u"Object variable or With block variable not set");
    }
    return *service;
}

} // namespace

KernelServices& Kernel()
{
    return Installed(gServices.kernel);
}

ProcessStatusServices& ProcessStatus()
{
    return Installed(gServices.processStatus);
}

RegistryServices& Registry()
{
    return Installed(gServices.registry);
}

WindowingServices& Windowing()
{
    return Installed(gServices.windowing);
}

LaunchServices& Launch()
{
    return Installed(gServices.launch);
}

SecurityServices& Security()
{
    return Installed(gServices.security);
}

MessageServices& Messages()
{
    return Installed(gServices.messages);
}

DesktopServices& Desktop()
{
    return Installed(gServices.desktop);
}

ConsoleServices& Console()
{
    return Installed(gServices.console);
}

EventLogServices& EventLog()
{
    return Installed(gServices.eventLog);
}

const Services& InstalledServices() noexcept
{
    return gServices;
}

ScopedServices::ScopedServices(const Services& services) noexcept : mPrevious(gServices)
{
    gServices = services;
}

ScopedServices::~ScopedServices()
{
    gServices = mPrevious;
}

} // namespace platform
