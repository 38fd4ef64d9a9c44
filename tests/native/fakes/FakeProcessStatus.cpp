#include "fakes/FakeProcessStatus.h"

#include <algorithm>
#include <cstring>

namespace fakes {

namespace {
constexpr platform::Handle kMainModule = 0x400000;
}

bool FakeProcessStatus::EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded)
{
    enumProcessesSizes.push_back(bytes);
    if (enumProcessesFails) {
        return false;
    }
    std::uint32_t written = 0;
    for (const FakeProcess& process : mKernel.processes) {
        if (process.terminated) {
            continue;
        }
        if ((written + 1) * 4 > bytes) {
            break;
        }
        processIds[written++] = process.id;
    }
    bytesNeeded = written * 4;
    return true;
}

bool FakeProcessStatus::EnumProcessModules(platform::Handle process, platform::Handle* modules, std::uint32_t bytes,
                                           std::uint32_t& bytesNeeded)
{
    const FakeProcess* target = mKernel.ProcessOf(process);
    if (target == nullptr || !target->canListModules) {
        return false;
    }
    // Three modules: the executable first, as the real call lists them.
    const platform::Handle loaded[] = {kMainModule, 0x77000000, 0x78000000};
    const std::uint32_t fit = std::min<std::uint32_t>(bytes / sizeof(platform::Handle), 3);
    std::copy_n(loaded, fit, modules);
    bytesNeeded = 3 * sizeof(platform::Handle);
    return true;
}

std::uint32_t FakeProcessStatus::GetModuleFileNameExA(platform::Handle process, platform::Handle module, char* fileName,
                                                      std::uint32_t size)
{
    const FakeProcess* target = mKernel.ProcessOf(process);
    if (target == nullptr || module != kMainModule || target->moduleNameEmpty || size == 0) {
        return 0;
    }
    const std::uint32_t copied = std::min<std::uint32_t>(static_cast<std::uint32_t>(target->path.size()), size - 1);
    std::memcpy(fileName, target->path.data(), copied);
    fileName[copied] = '\0';
    return copied;
}

} // namespace fakes
