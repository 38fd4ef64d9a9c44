#include "app/PeImage.h"

#include "common/LittleEndian.h"
#include "platform/AnsiText.h"
#include "platform/Handles.h"

#include <algorithm>

namespace {

// Every linker places the PE header well within the first 4 KiB.
constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kPeOffsetAt = 0x3C;

} // namespace

std::optional<std::uint16_t> MachineOfImage(std::span<const std::uint8_t> head)
{
    if (head.size() < kDosHeaderBytes || head[0] != 'M' || head[1] != 'Z') {
        return std::nullopt;
    }
    // In 64 bits: an offset near 2^32 must not wrap round to a small one.
    const std::uint64_t pe = LittleEndian32(head, kPeOffsetAt);
    if (pe + 6 > head.size()) {
        return std::nullopt;
    }
    const auto at = static_cast<std::size_t>(pe);
    if (head[at] != 'P' || head[at + 1] != 'E' || head[at + 2] != 0 || head[at + 3] != 0) {
        return std::nullopt;
    }
    return LittleEndian16(head, at + 4);
}

std::vector<std::uint8_t> ReadImageHead(const Text& path)
{
    auto& kernel = platform::Kernel();
    const platform::UniqueFileHandle file(kernel.CreateFileA(ToAnsi(path), platform::kGenericRead,
                                                             platform::kFileShareReadWrite, platform::kOpenExisting));
    if (!file) {
        return {};
    }
    std::vector<std::uint8_t> head(kHeadBytes);
    std::size_t total = 0;
    std::uint32_t read = 0;
    while (total < head.size() &&
           kernel.ReadFile(file.Get(), head.data() + total, static_cast<std::uint32_t>(head.size() - total), read) &&
           read > 0) {
        total += std::min<std::size_t>(read, head.size() - total);
    }
    head.resize(total);
    return head;
}

std::optional<Bitness> BitnessOfImage(const Text& path)
{
    const auto machine = MachineOfImage(ReadImageHead(path));
    if (machine == kMachineI386) {
        return Bitness::X86;
    }
    if (machine == kMachineAmd64) {
        return Bitness::X64;
    }
    return std::nullopt;
}
