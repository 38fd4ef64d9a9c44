#pragma once

#include "platform/ProcessStatusServices.h"
#include "platform/win32/SystemLibrary.h"

#include <psapi.h>

namespace platform::win32 {

class Win32ProcessStatus final : public ProcessStatusServices {
public:
    explicit Win32ProcessStatus(SystemLibraries& libraries) noexcept : mPsapi(libraries.psapi) {}
    bool EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded) override;
    bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t bytes, std::uint32_t& bytesNeeded) override;
    std::uint32_t GetModuleFileNameExA(Handle process, Handle module, char* fileName, std::uint32_t size) override;

private:
    SystemLibrary& mPsapi;
    SYSTEM_FUNCTION(mPsapi, EnumProcesses);
    SYSTEM_FUNCTION(mPsapi, EnumProcessModules);
    SYSTEM_FUNCTION(mPsapi, GetModuleFileNameExA);
};

} // namespace platform::win32
