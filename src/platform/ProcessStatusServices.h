#pragma once

#include "platform/Handle.h"

#include <cstdint>

namespace platform {

// psapi: the process-status functions of the NT line.
class ProcessStatusServices {
public:
    virtual ~ProcessStatusServices() = default;

    virtual bool EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded) = 0;
    virtual bool EnumProcessModules(Handle process, Handle* modules, std::uint32_t bytes,
                                    std::uint32_t& bytesNeeded) = 0;
    virtual std::uint32_t GetModuleFileNameExA(Handle process, Handle module, char* fileName, std::uint32_t size) = 0;
};

} // namespace platform
