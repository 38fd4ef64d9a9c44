#include "reset/ResetLock.h"

#include "platform/SystemCodes.h"

#include <string>

namespace {

const std::string kName = "KestrinSoftwareAddinsReset";

} // namespace

std::optional<ResetLock> ResetLock::Take()
{
    const RunRights rights = RunRights::OfThisProcess();
    if (rights.HasSecurity() && rights.IsAdministrator()) {
        std::optional<AdministratorsMutex> own(std::in_place, rights, kName);
        if (own->State() == AdministratorsMutex::Found::Existing) {
            return std::nullopt;
        }
        auto plain = TakePlainName(rights);
        return ResetLock(std::move(own), plain ? std::move(*plain) : platform::UniqueMutexHandle());
    }
    auto plain = TakePlainName(rights);
    if (!plain) {
        return std::nullopt;
    }
    return ResetLock(std::nullopt, std::move(*plain));
}

std::optional<platform::UniqueMutexHandle> ResetLock::TakePlainName(const RunRights& rights)
{
    auto& kernel = platform::Kernel();
    std::string name = rights.IsNtAtLeast(5) ? "Global\\" + kName : kName;
    std::int32_t lastError = 0;
    platform::UniqueMutexHandle mutex(kernel.CreateMutexA(name, nullptr, lastError));
    if (!mutex && lastError == platform::kErrorAccessDenied && name != kName) {
        // Another account's copy holds it, or this account may not create
        // global objects (a standard user in a remote session): only the
        // first opens it. The second keeps to its own session.
        const platform::UniqueMutexHandle existing(kernel.OpenMutexA(name, lastError));
        if (existing || lastError != platform::kErrorFileNotFound) {
            return std::nullopt;
        }
        name = kName;
        mutex.Reset(kernel.CreateMutexA(name, nullptr, lastError));
    }
    if (!mutex || lastError == platform::kErrorAlreadyExists) {
        return std::nullopt;
    }
    return mutex;
}
