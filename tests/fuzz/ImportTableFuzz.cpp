// Fuzzes the reader of PE import tables and security directories, in a
// buffer of exactly the image's size, against a model that reads the file
// another way: every number through a reader that throws at the end of the
// bytes, the sections gathered first, a name found with a search for its NUL.
// Half the inputs are well-formed images first, built from the fuzzer's
// choices and then corrupted and cut at its choice, so that the walk reaches
// the table and its end.
#include "fakes/FakeKernel.h"
#include "pe/PeImage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct OutOfBytes {};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : mBytes(bytes) {}

    std::uint64_t At(std::uint64_t offset, int size) const
    {
        if (offset + static_cast<std::uint64_t>(size) > mBytes.size()) {
            throw OutOfBytes();
        }
        std::uint64_t number = 0;
        for (int i = size - 1; i >= 0; --i) {
            number = number * 256 + mBytes[offset + static_cast<std::uint64_t>(i)];
        }
        return number;
    }

private:
    const std::vector<std::uint8_t>& mBytes;
};

struct Section {
    std::uint64_t address;
    std::uint64_t rawSize;
    std::uint64_t rawData;
};

// What the headers lead to: the sections and a reader of data directories.
struct Layout {
    std::vector<Section> sections;
    std::uint64_t directories;
    std::uint64_t count;
    std::uint64_t optionalEnd;
};

// None where the headers are no PE32 or PE32+ headers within the bytes; throws where they run out.
std::optional<Layout> LayoutOf(const std::vector<std::uint8_t>& image, const Reader& read)
{
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') {
        return std::nullopt;
    }
    const std::uint64_t pe = read.At(0x3C, 4);
    if (read.At(pe, 4) != 0x4550) {
        return std::nullopt;
    }
    read.At(pe + 22, 2);
    const std::uint64_t magic = read.At(pe + 24, 2);
    if (magic != 0x10B && magic != 0x20B) {
        return std::nullopt;
    }
    Layout layout;
    const std::uint64_t countAt = pe + 24 + (magic == 0x10B ? 92 : 108);
    layout.count = read.At(countAt, 4);
    layout.directories = countAt + 4;
    layout.optionalEnd = pe + 24 + read.At(pe + 20, 2);
    if (layout.directories > layout.optionalEnd) {
        return std::nullopt;
    }
    // The optional header ends within the bytes, where the section table starts, even an empty one.
    read.At(layout.optionalEnd - 1, 1);
    for (std::uint64_t i = 0, n = read.At(pe + 6, 2); i < n; ++i) {
        const std::uint64_t at = layout.optionalEnd + 40 * i;
        read.At(at + 36, 4);
        layout.sections.push_back({read.At(at + 12, 4), read.At(at + 16, 4), read.At(at + 20, 4)});
    }
    return layout;
}

// A directory's two numbers, or none where the optional header ends before it.
std::optional<std::pair<std::uint64_t, std::uint64_t>> Directory(const Layout& layout, const Reader& read, int index)
{
    if (static_cast<std::uint64_t>(index) >= layout.count) {
        return std::pair<std::uint64_t, std::uint64_t>(0, 0);
    }
    const std::uint64_t at = layout.directories + 8 * static_cast<std::uint64_t>(index);
    if (at + 8 > layout.optionalEnd) {
        return std::nullopt;
    }
    return std::pair(read.At(at, 4), read.At(at + 4, 4));
}

std::uint64_t FileOffset(const Layout& layout, const std::vector<std::uint8_t>& image, std::uint64_t rva)
{
    const auto section = std::find_if(layout.sections.begin(), layout.sections.end(), [&](const Section& s) {
        return s.address <= rva && rva < s.address + s.rawSize;
    });
    if (section == layout.sections.end() || section->rawData + (rva - section->address) >= image.size()) {
        throw OutOfBytes();
    }
    return section->rawData + (rva - section->address);
}

std::optional<std::vector<std::string>> ModelImports(const std::vector<std::uint8_t>& image)
{
    try {
        const Reader read(image);
        const auto layout = LayoutOf(image, read);
        const auto directory = layout ? Directory(*layout, read, 1) : std::nullopt;
        if (!directory) {
            return std::nullopt;
        }
        std::vector<std::string> names;
        if (directory->first == 0) {
            return names;
        }
        const std::uint64_t table = FileOffset(*layout, image, directory->first);
        for (std::uint64_t entry = 0; entry < 1024; ++entry) {
            read.At(table + 20 * entry + 19, 1);
            const std::uint64_t nameRva = read.At(table + 20 * entry + 12, 4);
            if (nameRva == 0) {
                return names;
            }
            const auto from = image.begin() + static_cast<std::ptrdiff_t>(FileOffset(*layout, image, nameRva));
            const auto nul = std::find(from, image.end(), 0);
            if (nul == image.end() || nul == from || nul - from > 255) {
                return std::nullopt;
            }
            names.emplace_back(from, nul);
        }
        return std::nullopt;
    } catch (const OutOfBytes&) {
        return std::nullopt;
    }
}

std::optional<bool> ModelSigned(const std::vector<std::uint8_t>& image)
{
    try {
        const Reader read(image);
        const auto layout = LayoutOf(image, read);
        const auto directory = layout ? Directory(*layout, read, 4) : std::nullopt;
        if (!directory) {
            return std::nullopt;
        }
        return directory->first != 0 && directory->second != 0;
    } catch (const OutOfBytes&) {
        return std::nullopt;
    }
}

std::vector<std::uint8_t> ImageOf(FuzzedDataProvider& input)
{
    if (!input.ConsumeBool()) {
        return input.ConsumeRemainingBytes<std::uint8_t>();
    }
    const std::uint16_t machine = input.ConsumeBool() ? 0x8664 : 0x014C;
    std::vector<std::string> names(input.ConsumeIntegralInRange(0, 4));
    for (std::string& name : names) {
        name = input.ConsumeRandomLengthString(300);
    }
    std::vector<std::uint8_t> image = fakes::PeImageImporting(machine, names, input.ConsumeBool());
    for (int i = input.ConsumeIntegralInRange(0, 6); i > 0; --i) {
        image[input.ConsumeIntegralInRange<std::size_t>(0, image.size() - 1)] = input.ConsumeIntegral<std::uint8_t>();
    }
    image.resize(input.ConsumeIntegralInRange<std::size_t>(0, image.size()));
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider input(bytes, size);
    const std::vector<std::uint8_t> image = ImageOf(input);
    const auto exact = std::make_unique<std::uint8_t[]>(image.size());
    std::copy(image.begin(), image.end(), exact.get());
    const std::span<const std::uint8_t> view(exact.get(), image.size());
    if (ImportedLibraries(view) != ModelImports(image) || IsSigned(view) != ModelSigned(image)) {
        std::abort();
    }
    return 0;
}
