#pragma once

#include "common/Text.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The headers of a PE image, an exe or a library, read from its file without
// loading it: loading would run its code with the tool's rights.
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;

// The machine type of a PE image from its first bytes; none when the bytes
// hold no PE header within them.
std::optional<std::uint16_t> MachineOfImage(std::span<const std::uint8_t> head);

// The first bytes of a file, as many as every linker's headers need; empty
// when the file cannot be read.
std::vector<std::uint8_t> ReadImageHead(const Text& path);

// What a program must be to load a library, or a library to load into a program.
enum class Bitness { X86, X64 };

// None for a file that cannot be read or is an image of neither.
std::optional<Bitness> BitnessOfImage(const Text& path);
