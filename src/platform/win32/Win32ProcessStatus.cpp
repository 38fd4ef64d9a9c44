#include "platform/win32/Win32ProcessStatus.h"

namespace platform::win32 {

static_assert(sizeof(Handle) == sizeof(HMODULE));
static_assert(sizeof(std::uint32_t) == sizeof(DWORD));

bool Win32ProcessStatus::EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded)
{
    DWORD needed = bytesNeeded;
    const BOOL ok = mEnumProcesses(reinterpret_cast<DWORD*>(processIds), bytes, &needed);
    bytesNeeded = needed;
    return ok != FALSE;
}

bool Win32ProcessStatus::EnumProcessModules(Handle process, Handle* modules, std::uint32_t bytes,
                                            std::uint32_t& bytesNeeded)
{
    DWORD needed = bytesNeeded;
    const BOOL ok = mEnumProcessModules(AsHandle(process), reinterpret_cast<HMODULE*>(modules), bytes, &needed);
    bytesNeeded = needed;
    return ok != FALSE;
}

std::uint32_t Win32ProcessStatus::GetModuleFileNameExA(Handle process, Handle module, char* fileName,
                                                       std::uint32_t size)
{
    return mGetModuleFileNameExA(AsHandle(process), reinterpret_cast<HMODULE>(module), fileName, size);
}

} // namespace platform::win32
