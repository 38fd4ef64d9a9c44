#pragma once

// What the fuzz targets of Outlook's records share: the value they are
// given, and the add-in folder rule read the long way for their reference
// models, with no views and no shortcuts.
#include "common/Text.h"
#include "scope/AddinFolder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace model {

inline const std::u16string kFolder = u"C:\\Program Files\\Common Files\\Kestrin Software";
// The folder as the code under test is given it, with no 8.3 forms.
inline const AddinFolder kAddinFolder(kFolder, std::u16string(), std::u16string());

// Lower case, "/" as "\", one separator for a run, none at the end.
inline std::u16string Normal(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : LowerCase(text)) {
        if (c == u'/') {
            c = u'\\';
        }
        if (!(c == u'\\' && !out.empty() && out.back() == u'\\')) {
            out += c;
        }
    }
    if (!out.empty() && out.back() == u'\\') {
        out.pop_back();
    }
    return out;
}

// A registry value from the fuzzer's bytes: mostly REG_BINARY, any type else.
struct Value {
    explicit Value(const std::uint8_t* bytes, std::size_t size)
    {
        FuzzedDataProvider input(bytes, size);
        type = input.ConsumeBool() ? 3 : input.ConsumeIntegral<std::uint32_t>();
        data = input.ConsumeRemainingBytes<std::uint8_t>();
        exact = std::make_unique<std::uint8_t[]>(data.size());
        std::copy(data.begin(), data.end(), exact.get());
    }

    // Exactly as large as the data: one byte read past it is a heap overflow.
    std::span<const std::uint8_t> Exact() const { return {exact.get(), data.size()}; }

    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::unique_ptr<std::uint8_t[]> exact;
};

inline bool IsFileDirectlyInFolder(const std::u16string& path)
{
    const std::u16string folder = Normal(kFolder) + u"\\";
    const std::u16string file = Normal(path);
    bool inFolder = file.size() > folder.size() && file.substr(0, folder.size()) == folder;
    for (std::size_t i = folder.size(); inFolder && i < file.size(); ++i) {
        inFolder = file[i] != u'\\';
    }
    return inFolder;
}

} // namespace model
