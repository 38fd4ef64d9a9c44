#pragma once

#include "common/Text.h"
#include "files/RecordFolder.h"
#include "platform/KernelServices.h"
#include "trust/AdministratorsMutex.h"

#include <cstdint>
#include <optional>
#include <string>

// A log in the format that administrators' log viewers read (CMTrace, and
// Configuration Manager's own logs): one entry a line, each with its local
// time, the program that wrote it and its type. At 1 MiB the file becomes
// the one of the same name ending in ".lo_", in place of the older such
// file, and a new one starts. Two programs that append at once lose no
// entry: a named mutex keeps their appends and turns apart (for an
// administrator's run one no user can hold), and on the NT line each write
// lands at the file's end whatever another program wrote before it. No run
// waits for the mutex more than once: where another held it too long, the
// run's appends go on without it.
class CmTraceLog {
public:
    enum class Type { Information = 1, Warning = 2, Error = 3 };

    static constexpr std::uint64_t kMostBytes = std::uint64_t{1024} * 1024;

    // name: the log's file in the folder, which outlives the log.
    // component: the program, as each entry names it. lockName: the
    // mutex's, without a namespace. appendAtEnd: the system appends at the
    // end on its own (the NT line); elsewhere each write goes to the end the
    // file has when it opens.
    CmTraceLog(const RecordFolder& folder, std::string name, std::string component, const std::string& lockName,
               bool appendAtEnd);

    // Appends one entry; false where it could not be written.
    bool Write(const Text& text, Type type);
    // The file's full path.
    std::string Path() const { return mFolder.Path() + "\\" + mName; }

    // The entry's line, without its line break. No text read from the
    // registry or a file leaves its entry: line breaks and other control
    // characters become spaces, and the markers that begin and end an entry
    // are broken up.
    static std::string Entry(const Text& text, const std::string& component, Type type,
                             const platform::SystemTime& time, std::int32_t bias, std::uint32_t thread);

private:
    bool Append(const std::string& line) const;
    // Waits for the mutex; false where the run appends without it.
    bool Lock();

    const RecordFolder& mFolder;
    std::string mName;
    std::string mComponent;
    // An administrator's run's, or a plain one for the user's own log.
    std::optional<AdministratorsMutex> mProtected;
    platform::UniqueMutexHandle mPlain;
    bool mAppendAtEnd;
    bool mGaveUpWaiting = false;
};
