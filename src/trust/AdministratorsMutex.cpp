#include "trust/AdministratorsMutex.h"

#include "platform/SystemCodes.h"
#include "trust/WellKnownSids.h"

namespace {

// One namespace for every mutex of the program.
const std::string kNamespace = "KestrinSoftwareAddinsReset";
constexpr std::int32_t kErrorInvalidOwner = 1307;

} // namespace

AdministratorsMutex::AdministratorsMutex(const RunRights& rights, const std::string& name)
{
    if (rights.IsNtAtLeast(6) && platform::Kernel().HasPrivateNamespaces()) {
        MakeInPrivateNamespace(name);
    }
    if (mFound == Found::Unavailable) {
        MakeGlobal(rights, name);
    }
}

void AdministratorsMutex::MakeInPrivateNamespace(const std::string& name)
{
    auto& kernel = platform::Kernel();
    const platform::Sid administrators = platform::SidOfText(std::string(kAdministratorsSid)).value();
    const platform::DescriptorBytes descriptor = SecurityDescriptor::ForAdministrators(false, true);
    std::int32_t lastError = 0;
    mNamespace.Reset(kernel.CreatePrivateNamespaceA(descriptor, administrators, kNamespace, lastError));
    if (!mNamespace && lastError == platform::kErrorAlreadyExists) {
        mNamespace.Reset(kernel.OpenPrivateNamespaceA(administrators, kNamespace));
    }
    if (!mNamespace) {
        return;
    }
    // Only an administrator can be in the namespace: whatever is found there is another copy's.
    mMutex.Reset(kernel.CreateMutexA(kNamespace + "\\" + name, &descriptor, lastError));
    if (mMutex) {
        mFound = lastError == platform::kErrorAlreadyExists ? Found::Existing : Found::Made;
    }
}

void AdministratorsMutex::MakeGlobal(const RunRights& rights, const std::string& name)
{
    auto& kernel = platform::Kernel();
    // Before Windows 2000 there is one namespace only.
    const std::string global = rights.IsNtAtLeast(5) ? "Global\\" + name : name;
    const bool isProtected = rights.IsNtAtLeast(5);
    platform::DescriptorBytes descriptor = SecurityDescriptor::ForAdministrators(true, isProtected);
    std::int32_t lastError = 0;
    mMutex.Reset(kernel.CreateMutexA(global, &descriptor, lastError));
    if (!mMutex && lastError == kErrorInvalidOwner) {
        descriptor = SecurityDescriptor::ForAdministrators(false, isProtected);
        mMutex.Reset(kernel.CreateMutexA(global, &descriptor, lastError));
    }
    if (!mMutex) {
        // Another copy's would have let an administrator in.
        mFound = lastError == platform::kErrorAccessDenied ? Found::TakenByOther : Found::Unavailable;
        return;
    }
    if (lastError != platform::kErrorAlreadyExists) {
        mFound = Found::Made;
        return;
    }
    const auto bytes = platform::Security().GetKernelObjectSecurity(mMutex.Get(), platform::kOwnerSecurityInformation);
    const auto found = bytes ? SecurityDescriptor::Parse(*bytes) : std::nullopt;
    if (found && found->Owner() && rights.Trusts(*found->Owner())) {
        mFound = Found::Existing;
        return;
    }
    mMutex.Reset();
    mFound = Found::TakenByOther;
}
