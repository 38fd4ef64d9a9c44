#pragma once

#include "scope/RunView.h"

#include <string>

// A run as the administrators' program shows it: the outcome on standard
// output, warnings and progress on standard error; with --json, the one
// JSON line alone. It has no window: its waits wake only for the processes,
// and nothing asks it whether a log-off may go on; Windows ends a console
// program with its session.
class ConsoleView final : public RunView {
public:
    // command: "check" or "reset", as the JSON answer names it.
    ConsoleView(std::string command, bool json) : mCommand(std::move(command)), mJson(json) {}

    void ShowProgress(const Text& text) const override;
    void ShowMessage(const Text& text, const Text& title) const override;
    void ShowRefusal(const Outcome& outcome, const Text& title) const override;
    void ShowOutcome(const Outcome& outcome, const Text& title) const override;
    void BeginChanges() override {}
    void EndChanges() override {}
    std::uint32_t WaitForRuns(const std::vector<platform::Handle>& processes,
                              std::uint32_t milliseconds) const override;
    void HandleEvents() const override {}

private:
    std::string mCommand;
    bool mJson;
};
