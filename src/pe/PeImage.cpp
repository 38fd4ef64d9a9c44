#include "pe/PeImage.h"

#include "common/LittleEndian.h"
#include "platform/AnsiText.h"
#include "platform/Handles.h"

#include <algorithm>

namespace {

// Every linker places the PE header well within the first 4 KiB.
constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kLargestImageBytes = std::size_t{64} * 1024 * 1024;
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kPeOffsetAt = 0x3C;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kSectionBytes = 40;
constexpr std::size_t kImportEntryBytes = 20;
constexpr std::size_t kMostImportEntries = 1024;
constexpr std::size_t kLongestLibraryName = 255;
constexpr std::uint32_t kExportDirectory = 0;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::size_t kExportTableBytes = 40;
constexpr std::uint32_t kMostExportNames = 65536;
constexpr std::uint32_t kSecurityDirectory = 4;

// Whether bytes at offset lie within the image; no sum can wrap round.
bool Fits(std::span<const std::uint8_t> image, std::uint64_t offset, std::uint64_t bytes)
{
    return offset <= image.size() && bytes <= image.size() - offset;
}

// Where the optional header's data directories and the section table lie.
struct Headers {
    std::size_t directories;
    std::uint32_t directoryCount;
    std::size_t optionalEnd;
    std::size_t sections;
    std::size_t sectionCount;
};

std::optional<Headers> HeadersOf(std::span<const std::uint8_t> image)
{
    if (!MachineOfImage(image)) {
        return std::nullopt;
    }
    const std::size_t pe = LittleEndian32(image, kPeOffsetAt);
    const std::size_t optional = pe + 24;
    if (!Fits(image, pe, 24) || !Fits(image, optional, 2)) {
        return std::nullopt;
    }
    const std::uint16_t magic = LittleEndian16(image, optional);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
        return std::nullopt;
    }
    const std::size_t count = optional + (magic == kMagicPe32 ? 92 : 108);
    const std::size_t optionalEnd = optional + LittleEndian16(image, pe + 20);
    const std::size_t sectionCount = LittleEndian16(image, pe + 6);
    if (count + 4 > optionalEnd || !Fits(image, count, 4) || !Fits(image, optionalEnd, sectionCount * kSectionBytes)) {
        return std::nullopt;
    }
    return Headers{count + 4, LittleEndian32(image, count), optionalEnd, optionalEnd, sectionCount};
}

// A data directory's two numbers; (0, 0) for one past the count; none where
// the optional header is too short to hold it.
std::optional<std::pair<std::uint32_t, std::uint32_t>> DirectoryOf(std::span<const std::uint8_t> image,
                                                                   const Headers& headers, std::uint32_t index)
{
    if (index >= headers.directoryCount) {
        return std::pair<std::uint32_t, std::uint32_t>(0, 0);
    }
    const std::size_t at = headers.directories + 8 * static_cast<std::size_t>(index);
    if (at + 8 > headers.optionalEnd || !Fits(image, at, 8)) {
        return std::nullopt;
    }
    return std::pair(LittleEndian32(image, at), LittleEndian32(image, at + 4));
}

// The file offset of an RVA, through the first section whose raw data holds it.
std::optional<std::size_t> OffsetOf(std::span<const std::uint8_t> image, const Headers& headers, std::uint32_t rva)
{
    for (std::size_t i = 0; i < headers.sectionCount; ++i) {
        const std::size_t section = headers.sections + i * kSectionBytes;
        const std::uint64_t address = LittleEndian32(image, section + 12);
        const std::uint64_t rawSize = LittleEndian32(image, section + 16);
        const std::uint64_t rawData = LittleEndian32(image, section + 20);
        if (rva >= address && rva - address < rawSize) {
            const std::uint64_t offset = rawData + (rva - address);
            return Fits(image, offset, 1) ? std::optional<std::size_t>(offset) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NameAt(std::span<const std::uint8_t> image, std::size_t offset)
{
    std::string name;
    for (std::size_t at = offset; at < image.size(); ++at) {
        if (image[at] == 0) {
            return name.empty() ? std::nullopt : std::optional<std::string>(std::move(name));
        }
        if (name.size() == kLongestLibraryName) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(image[at]));
    }
    return std::nullopt;
}

// Up to the first bytes of a file, read in steps, so that a small file costs
// no more than its size.
std::vector<std::uint8_t> ReadFileStart(const Text& path, std::size_t bytes)
{
    constexpr std::size_t kStep = std::size_t{64} * 1024;
    auto& kernel = platform::Kernel();
    const platform::UniqueFileHandle file(kernel.CreateFileA(
        ToAnsi(path), platform::kGenericRead, platform::kFileShareReadWrite, platform::kOpenExisting, 0, nullptr));
    std::vector<std::uint8_t> data;
    std::uint32_t read = 1;
    while (file && data.size() < bytes && read > 0) {
        const std::size_t at = data.size();
        data.resize(std::min(bytes, at + kStep));
        read = 0;
        if (!kernel.ReadFile(file.Get(), data.data() + at, static_cast<std::uint32_t>(data.size() - at), read)) {
            read = 0;
        }
        data.resize(at + std::min<std::size_t>(read, data.size() - at));
    }
    return data;
}

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

std::optional<std::vector<std::string>> ImportedLibraries(std::span<const std::uint8_t> image)
{
    const auto headers = HeadersOf(image);
    const auto directory = headers ? DirectoryOf(image, *headers, kImportDirectory) : std::nullopt;
    if (!directory) {
        return std::nullopt;
    }
    std::vector<std::string> libraries;
    if (directory->first == 0) {
        return libraries;
    }
    const auto table = OffsetOf(image, *headers, directory->first);
    for (std::size_t i = 0; table && i < kMostImportEntries; ++i) {
        const std::size_t entry = *table + i * kImportEntryBytes;
        if (!Fits(image, entry, kImportEntryBytes)) {
            return std::nullopt;
        }
        const std::uint32_t nameRva = LittleEndian32(image, entry + 12);
        if (nameRva == 0) {
            return libraries;
        }
        const auto nameAt = OffsetOf(image, *headers, nameRva);
        auto name = nameAt ? NameAt(image, *nameAt) : std::nullopt;
        if (!name) {
            return std::nullopt;
        }
        libraries.push_back(std::move(*name));
    }
    return std::nullopt;
}

std::optional<bool> IsSigned(std::span<const std::uint8_t> image)
{
    const auto headers = HeadersOf(image);
    const auto directory = headers ? DirectoryOf(image, *headers, kSecurityDirectory) : std::nullopt;
    if (!directory) {
        return std::nullopt;
    }
    return directory->first != 0 && directory->second != 0;
}

std::vector<std::string> DependentAssemblies(std::span<const std::uint8_t> image)
{
    const std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
    std::vector<std::string> names;
    for (auto at = text.find("<dependentAssembly"); at != std::string_view::npos;
         at = text.find("<dependentAssembly", at + 1)) {
        const std::string_view block = text.substr(at, 1024);
        // Older linkers write the attribute in single quotes.
        const auto name = std::min(block.find("name=\""), block.find("name='"));
        const auto end = name == std::string_view::npos ? name : block.find(block[name + 5], name + 6);
        if (end != std::string_view::npos && end - name - 6 <= 128) {
            names.emplace_back(block.substr(name + 6, end - name - 6));
        }
    }
    return names;
}

std::optional<bool> ExportsFunction(std::span<const std::uint8_t> image, std::string_view function)
{
    const auto headers = HeadersOf(image);
    const auto directory = headers ? DirectoryOf(image, *headers, kExportDirectory) : std::nullopt;
    if (!directory) {
        return std::nullopt;
    }
    if (directory->first == 0) {
        return false;
    }
    const auto table = OffsetOf(image, *headers, directory->first);
    if (!table || !Fits(image, *table, kExportTableBytes)) {
        return std::nullopt;
    }
    const std::uint32_t count = LittleEndian32(image, *table + 24);
    const auto names = OffsetOf(image, *headers, LittleEndian32(image, *table + 32));
    if (count > kMostExportNames || (count > 0 && (!names || !Fits(image, *names, 4 * std::uint64_t{count})))) {
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto nameAt = OffsetOf(image, *headers, LittleEndian32(image, *names + 4 * std::size_t{i}));
        if (!nameAt) {
            return std::nullopt;
        }
        // Read whole, whatever its length: a C++ library's names may be longer than any library's name.
        const auto nameStart = image.begin() + static_cast<std::ptrdiff_t>(*nameAt);
        const auto nameEnd = std::find(nameStart, image.end(), std::uint8_t{0});
        if (nameEnd == image.end()) {
            return std::nullopt;
        }
        if (std::equal(nameStart, nameEnd, function.begin(), function.end())) {
            return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> ReadImageHead(const Text& path)
{
    return ReadFileStart(path, kHeadBytes);
}

std::vector<std::uint8_t> ReadImage(const Text& path)
{
    std::vector<std::uint8_t> image = ReadFileStart(path, kLargestImageBytes + 1);
    if (image.size() > kLargestImageBytes) {
        image.clear();
    }
    return image;
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
