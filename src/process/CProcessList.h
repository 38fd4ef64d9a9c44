#pragma once

#include "common/Boolean.h"
#include "common/Checked.h"
#include "common/Collection.h"
#include "common/Text.h"

#include <cstdint>
#include <string_view>

// Answers whether a process with a given executable name runs now, through
// the process-status functions on the NT line and the tool-help snapshot on
// the 9x line.
class CProcessList {
public:
    CProcessList() = default;

    Long ProcessCount() const noexcept;
    Boolean IsProcessRunning(const Text& processExeName);
    Boolean ForceProcessTermination(const Text& processExeName);
    Long GetVersion();
    Boolean IsWin98();
    Boolean IsWin2000();

private:
    Long ListProcessesNT(Collection<Text>& names);
    static std::string_view TrimNull(std::string_view text);
    Long ListProcesses9x(Collection<Text>& names);

    Collection<std::int32_t> mProcessIds;
    Collection<Text> mProcessNames;
    Boolean mCollectIds = False;
    Long mMatchIndex = 0;
    Boolean mIsWin98 = False;
    Boolean mIsWin2000 = False;
    Boolean mVersionKnown = False;
    Long mMatchCount = 0;
};
