#include "reset/ResetLock.h"

#include "platform/SystemCodes.h"
#include "scope/WindowsVersion.h"

#include <string>

namespace {

const std::string kName = "KestrinSoftwareAddinsReset";

bool HasGlobalNamespace()
{
    return WindowsVersion::OfThisComputer().IsNtAtLeast(5);
}

} // namespace

std::optional<ResetLock> ResetLock::Take()
{
    auto& kernel = platform::Kernel();
    std::string name = HasGlobalNamespace() ? "Global\\" + kName : kName;
    std::int32_t lastError = 0;
    platform::UniqueMutexHandle mutex(kernel.CreateMutexA(name, lastError));
    if (!mutex && lastError == platform::kErrorAccessDenied && name != kName) {
        // Another account's copy holds it, or this account may not create
        // global objects (a standard user in a remote session): only the
        // first opens it. The second keeps to its own session.
        const platform::UniqueMutexHandle existing(kernel.OpenMutexA(name, lastError));
        if (existing || lastError != platform::kErrorFileNotFound) {
            return std::nullopt;
        }
        name = kName;
        mutex.Reset(kernel.CreateMutexA(name, lastError));
    }
    if (!mutex || lastError == platform::kErrorAlreadyExists) {
        return std::nullopt;
    }
    return ResetLock(std::move(mutex));
}
