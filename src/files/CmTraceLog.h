#pragma once

#include "common/Text.h"
#include "platform/KernelServices.h"

#include <cstdint>
#include <string>

// A log in the format that administrators' log viewers read (CMTrace, and
// Configuration Manager's own logs): one entry a line, each with its local
// time, the program that wrote it and its type. At 1 MiB the file becomes
// the one of the same name ending in ".lo_", the older such file going, and
// a new one starts. Two programs that append at once lose no entry: a
// named mutex keeps their appends and turns apart, and on the NT line each
// write lands at the file's end whatever another program wrote before it.
class CmTraceLog {
public:
    enum class Type { Information = 1, Warning = 2, Error = 3 };

    static constexpr std::uint64_t kMostBytes = std::uint64_t{1024} * 1024;

    // component: the program, as each entry names it. appendAtEnd: the
    // system appends at the end on its own (the NT line); elsewhere each
    // write goes to the end the file has when it opens.
    CmTraceLog(std::string path, std::string component, std::string lockName, bool appendAtEnd);

    // Appends one entry; false where it could not be written.
    bool Write(const Text& text, Type type) const;
    const std::string& Path() const noexcept { return mPath; }

    // The entry's line, without its line break.
    static std::string Entry(const Text& text, const std::string& component, Type type,
                             const platform::SystemTime& time, std::int32_t bias, std::uint32_t thread);

private:
    bool Append(const std::string& line) const;

    std::string mPath;
    std::string mComponent;
    std::string mLockName;
    bool mAppendAtEnd;
};
