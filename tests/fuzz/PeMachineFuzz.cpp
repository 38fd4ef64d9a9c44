// Fuzzes the PE machine-type reader: the first bytes of a library, in a
// buffer of exactly their size, against a plain reading of the two headers.
#include "pe/PeImage.h"

#include <cstdlib>
#include <memory>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const auto exact = std::make_unique<std::uint8_t[]>(size);
    std::copy(bytes, bytes + size, exact.get());
    std::optional<std::uint16_t> model;
    if (size >= 64 && bytes[0] == 'M' && bytes[1] == 'Z') {
        const unsigned long long pe =
            bytes[0x3C] + 256ULL * bytes[0x3D] + 65536ULL * bytes[0x3E] + 16777216ULL * bytes[0x3F];
        if (pe + 6 <= size && bytes[pe] == 'P' && bytes[pe + 1] == 'E' && bytes[pe + 2] == 0 && bytes[pe + 3] == 0) {
            model = static_cast<std::uint16_t>(bytes[pe + 4] + 256 * bytes[pe + 5]);
        }
    }
    if (MachineOfImage({exact.get(), size}) != model) {
        std::abort();
    }
    return 0;
}
