#pragma once

#include "platform/ProcessStatusServices.h"
#include "platform/win32/SystemLibrary.h"

namespace platform::win32 {

class Win32ProcessStatus final : public ProcessStatusServices {
public:
    bool EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded) override;
    bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t bytes, std::uint32_t& bytesNeeded) override;
    std::uint32_t GetModuleFileNameExA(Handle process, Handle module, char* fileName, std::uint32_t size) override;

private:
    SystemLibrary mPsapi{"psapi.dll"};
    SystemFunction<BOOL(WINAPI*)(DWORD*, DWORD, DWORD*)> mEnumProcesses{mPsapi, "EnumProcesses"};
    SystemFunction<BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*)> mEnumProcessModules{mPsapi, "EnumProcessModules"};
    SystemFunction<DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD)> mGetModuleFileNameExA{mPsapi, "GetModuleFileNameExA"};
};

} // namespace platform::win32
