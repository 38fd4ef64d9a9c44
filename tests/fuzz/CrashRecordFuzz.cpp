// Fuzzes the matcher of Outlook's CrashingAddinList values: arbitrary bytes,
// in a buffer of exactly their size, against the rule read the long way:
// every even offset that starts a text (the data's start, or just after a
// control character), the text up to the next control character or the end.
#include "RecordModel.h"
#include "scope/ResiliencyRecords.h"

#include <cstdlib>
#include <vector>

namespace {

bool Model(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    if (type != 3) {
        return false;
    }
    const auto character = [&](std::size_t at) { return static_cast<char16_t>(data[at] + 256 * data[at + 1]); };
    for (std::size_t start = 0; start + 1 < data.size(); start += 2) {
        if (start > 0 && character(start - 2) >= 0x20) {
            continue;
        }
        std::u16string path;
        for (std::size_t at = start; at + 1 < data.size() && character(at) >= 0x20; at += 2) {
            path += character(at);
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
    if (IsAddinCrashRecord(value.type, value.Exact(), model::kAddinFolder) != Model(value.type, value.data)) {
        std::abort();
    }
    return 0;
}
