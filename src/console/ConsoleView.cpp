#include "console/ConsoleView.h"

#include "console/ConsoleOutput.h"
#include "platform/Platform.h"
#include "reset/Outcome.h"

void ConsoleView::ShowProgress(const Text& text) const
{
    ConsoleOutput::WriteProgress(text);
}

void ConsoleView::ShowMessage(const Text& text, const Text&) const
{
    ConsoleOutput::WriteWarning(text);
}

void ConsoleView::ShowRefusal(const Text& text, const Text&) const
{
    ConsoleOutput::WriteOutcome(text);
}

void ConsoleView::ShowOutcome(const Outcome& outcome, const Text&) const
{
    ConsoleOutput::WriteOutcome(outcome.box);
}

std::uint32_t ConsoleView::WaitForRuns(const std::vector<platform::Handle>& processes, std::uint32_t milliseconds) const
{
    const std::uint32_t woken = platform::Kernel().WaitForMultipleObjects(processes, milliseconds);
    if (woken < processes.size()) {
        return woken;
    }
    return woken == platform::kWaitTimeout ? kWaitTimedOut : kWaitFailed;
}
