#pragma once

#include "fakes/FakeKernel.h"
#include "platform/ProcessStatusServices.h"

#include <vector>

namespace fakes {

// psapi over the process table of a FakeKernel.
class FakeProcessStatus : public platform::ProcessStatusServices {
public:
    explicit FakeProcessStatus(FakeKernel& kernel) : mKernel(kernel) {}

    bool enumProcessesFails = false;
    std::vector<std::uint32_t> enumProcessesSizes;

    bool EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded) override;
    bool EnumProcessModules(platform::Handle process, platform::Handle* modules, std::uint32_t bytes,
                            std::uint32_t& bytesNeeded) override;
    std::uint32_t GetModuleFileNameExA(platform::Handle process, platform::Handle module, char* fileName,
                                       std::uint32_t size) override;

private:
    FakeKernel& mKernel;
};

} // namespace fakes
