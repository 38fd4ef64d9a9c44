#pragma once

#include "common/Text.h"

// Where a reset tells what it does, line by line, for the administrator
// who reads it later: each regsvr32 run, each change and how the run ended.
class RunLog {
public:
    enum class Severity { Information, Warning, Error };

    RunLog() = default;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    virtual ~RunLog() = default;

    virtual void Note(const Text& line, Severity severity = Severity::Information) = 0;
};
