// Fuzzes the matcher of Outlook's disabled-item records: arbitrary bytes, in
// a buffer of exactly their size so that any read past it is caught, and the
// verdict must agree with a plain reading of the record's layout.
#include "RecordModel.h"
#include "common/Text.h"
#include "scope/ResiliencyRecords.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace {

const std::u16string kName = u"Kestrin Software Add-In Engine";

// The layout read the long way: whole numbers, no spans, no shortcuts.
bool Model(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    if (type != 3 || data.size() < 12) {
        return false;
    }
    auto number = [&](std::size_t at) {
        unsigned long long n = 0;
        for (int i = 3; i >= 0; --i) {
            n = n * 256 + data[at + static_cast<std::size_t>(i)];
        }
        return n;
    };
    const unsigned long long kind = number(0), first = number(4), second = number(8);
    if (kind != 1 || first == 0 || second == 0 || first % 2 == 1 || second % 2 == 1 ||
        first + second + 12 > data.size()) {
        return false;
    }
    auto text = [&](unsigned long long from, unsigned long long bytes) -> std::optional<std::u16string> {
        std::u16string out;
        for (unsigned long long i = 0; i < bytes / 2; ++i) {
            const char16_t c = static_cast<char16_t>(data[from + 2 * i] + 256 * data[from + 2 * i + 1]);
            if (c == 0) {
                return out;
            }
            out += c;
        }
        return std::nullopt;
    };
    const auto path = text(12, first);
    const auto name = text(12 + first, second);
    if (!path || !name) {
        return false;
    }
    const bool inFolder = model::IsFileDirectlyInFolder(*path);
    auto trimmed = [](std::u16string text) {
        while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
            text.pop_back();
        }
        return LowerCase(text);
    };
    return inFolder || trimmed(*name) == trimmed(kName);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const model::Value value(bytes, size);
    if (IsAddinDisabledRecord(value.type, value.Exact(), model::kAddinFolder, kName) != Model(value.type, value.data)) {
        std::abort();
    }
    return 0;
}
