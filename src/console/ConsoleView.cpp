#include "console/ConsoleView.h"

#include "console/ConsoleOutput.h"
#include "platform/Platform.h"
#include "run/JsonAnswer.h"
#include "run/Outcome.h"

void ConsoleView::ShowProgress(const Text& text) const
{
    if (!mJson) {
        ConsoleOutput::WriteProgress(text);
    }
}

void ConsoleView::ShowMessage(const Text& text, const Text&) const
{
    if (!mJson) {
        ConsoleOutput::WriteWarning(text);
    }
}

void ConsoleView::ShowRefusal(const Outcome& outcome, const Text& title) const
{
    ShowOutcome(outcome, title);
}

void ConsoleView::ShowOutcome(const Outcome& outcome, const Text&) const
{
    if (mJson) {
        ConsoleOutput::WriteLine(JsonAnswer::Of(mCommand, outcome));
    } else {
        ConsoleOutput::WriteOutcome(outcome);
    }
}

std::uint32_t ConsoleView::WaitForRuns(const std::vector<platform::Handle>& processes, std::uint32_t milliseconds) const
{
    const std::uint32_t woken = platform::Kernel().WaitForMultipleObjects(processes, milliseconds);
    if (woken < processes.size()) {
        return woken;
    }
    return woken == platform::kWaitTimeout ? kWaitTimedOut : kWaitFailed;
}
