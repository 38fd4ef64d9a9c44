#pragma once

#include "common/Text.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"

// True for a file that exists and is no folder. Only for paths the tool
// makes itself or reads from the machine's keys: a path from a user's hive
// is never handed to a file-system call.
inline bool IsPlainFile(const Text& path)
{
    const std::uint32_t attributes = platform::Kernel().GetFileAttributesA(ToAnsi(path));
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kFileAttributeDirectory) == 0;
}
