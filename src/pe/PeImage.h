#pragma once

#include "common/Text.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The headers of a PE image, an exe or a library, read from its file without
// loading it: loading would run its code with the tool's rights.
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine type of a PE image from its first bytes; none when the bytes
// hold no PE header within them.
std::optional<std::uint16_t> MachineOfImage(std::span<const std::uint8_t> head);

// The libraries an image's import table names, in its order, from the
// image's bytes as its file holds them: an RVA is found through the section
// that holds it (the first in the table, when sections overlap), and the
// table ends at the first entry without a name. Empty for an image that
// imports nothing. None, "cannot tell", where the headers or the table
// cannot be read to their end within the bytes: a cut file, a table that
// never ends (more than 1024 entries) or points outside the file, a name of
// more than 255 characters.
std::optional<std::vector<std::string>> ImportedLibraries(std::span<const std::uint8_t> image);

// Whether the image carries an Authenticode signature: a security directory
// that is not empty. None where the headers cannot be read.
std::optional<bool> IsSigned(std::span<const std::uint8_t> image);

// Whether the image's export table names the function; none where the
// headers or the table cannot be read to their end within the bytes.
std::optional<bool> ExportsFunction(std::span<const std::uint8_t> image, std::string_view function);

// The assemblies an embedded manifest names as dependencies
// ("Microsoft.VC90.CRT"), as the text holds them, in either quotes.
std::vector<std::string> DependentAssemblies(std::span<const std::uint8_t> image);

// The first bytes of a file, as many as every linker's headers need; empty
// when the file cannot be read.
std::vector<std::uint8_t> ReadImageHead(const Text& path);
// The whole file, when it is no larger than any add-in library is; empty
// when it cannot be read or is larger.
std::vector<std::uint8_t> ReadImage(const Text& path);

// What a program must be to load a library, or a library to load into a program.
enum class Bitness { X86, X64 };

// None for a file that cannot be read or is an image of neither.
std::optional<Bitness> BitnessOfImage(const Text& path);
