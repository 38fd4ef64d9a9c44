#include "platform/win32/SystemLibrary.h"

#include "common/RuntimeError.h"

#include <string>

namespace platform::win32 {
namespace {

bool HasActivationContexts() noexcept
{
    const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    return kernel32 != nullptr && ::GetProcAddress(kernel32, "GetCurrentActCtx") != nullptr;
}

} // namespace

FARPROC SystemLibrary::Find(const char* function)
{
    const HMODULE module = Module();
    if (module == nullptr) {
        throw RuntimeError::LibraryNotFound(mName);
    }
    const FARPROC address = ::GetProcAddress(module, function);
    if (address == nullptr) {
        throw RuntimeError::EntryPointNotFound(function, mName);
    }
    return address;
}

FARPROC SystemLibrary::TryFind(const char* function) noexcept
{
    const HMODULE module = Module();
    return module == nullptr ? nullptr : ::GetProcAddress(module, function);
}

HMODULE SystemLibrary::Module() noexcept
{
    if (!mLoadTried) {
        mLoadTried = true;
        if (mLocation == Location::SideBySide && HasActivationContexts()) {
            mModule.Reset(::LoadLibraryA(mName));
            return mModule.Get();
        }
        char folder[MAX_PATH + 1] = {};
        const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            const std::string path = std::string(folder, length) + "\\" + mName;
            mModule.Reset(::LoadLibraryA(path.c_str()));
        }
    }
    return mModule.Get();
}

} // namespace platform::win32
