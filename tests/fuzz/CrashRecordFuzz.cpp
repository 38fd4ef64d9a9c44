// Fuzzes the matcher of Outlook's CrashingAddinList values: arbitrary bytes,
// in a buffer of exactly their size, against the rule read the long way:
// every even offset, every text up to a NUL or the end.
#include "RecordModel.h"
#include "app/OutlookResiliency.h"

#include <cstdlib>
#include <vector>

namespace {

bool Model(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    if (type != 3) {
        return false;
    }
    for (std::size_t start = 0; start + 1 < data.size(); start += 2) {
        std::u16string path;
        for (std::size_t at = start; at + 1 < data.size(); at += 2) {
            const auto c = static_cast<char16_t>(data[at] + 256 * data[at + 1]);
            if (c == 0) {
                break;
            }
            path += c;
        }
        if (model::IsFileDirectlyInFolder(path)) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const model::Value value(bytes, size);
    if (IsAddinCrashRecord(value.type, value.Exact(), model::kFolder) != Model(value.type, value.data)) {
        std::abort();
    }
    return 0;
}
