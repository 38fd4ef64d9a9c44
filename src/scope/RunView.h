#pragma once

#include "common/Text.h"
#include "platform/Handle.h"

#include <cstdint>
#include <vector>

struct Outcome;

// What a run shows, and how it waits, in the program that runs it: the
// window's progress label and boxes, or the console's lines. The steps only
// ever speak through it.
class RunView {
public:
    // What WaitForRuns answers besides the index of a handle that was signalled.
    static constexpr std::uint32_t kWaitEvents = 0xFFFFFFF0;
    static constexpr std::uint32_t kWaitTimedOut = 0xFFFFFFF1;
    static constexpr std::uint32_t kWaitFailed = 0xFFFFFFF2;

    RunView() = default;
    RunView(const RunView&) = delete;
    RunView& operator=(const RunView&) = delete;
    virtual ~RunView() = default;

    // Shows a progress text while the long steps run.
    virtual void ShowProgress(const Text& text) const = 0;
    // A warning the run goes on after: the user reads it first where there is one.
    virtual void ShowMessage(const Text& text, const Text& title) const = 0;
    // The run refused before changing anything: why.
    virtual void ShowRefusal(const Outcome& outcome, const Text& title) const = 0;
    // How the run ended.
    virtual void ShowOutcome(const Outcome& outcome, const Text& title) const = 0;

    // From the first change to the end of the last step: half a reset must not be abandoned.
    virtual void BeginChanges() = 0;
    virtual void EndChanges() = 0;

    // Waits until one of the processes ends (its index), an event of the
    // program's own asks to be handled (kWaitEvents), or the time runs out.
    virtual std::uint32_t WaitForRuns(const std::vector<platform::Handle>& processes,
                                      std::uint32_t milliseconds) const = 0;
    // Handles what came while the run waited.
    virtual void HandleEvents() const = 0;
};
