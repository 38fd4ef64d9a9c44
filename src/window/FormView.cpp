#include "window/FormView.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "run/Outcome.h"
#include "window/frmMain.h"

namespace {

constexpr std::uint32_t kMessageBoxOkOnly = 0;

} // namespace

void FormView::ShowProgress(const Text& text) const
{
    auto& windowing = platform::Windowing();
    const platform::Handle label = windowing.GetDlgItem(mForm, frmMain::kLblProgress);
    windowing.SetWindowTextA(label, ToAnsi(text));
    windowing.UpdateWindow(label);
    windowing.ProcessPendingEvents();
}

void FormView::ShowMessage(const Text& text, const Text& title) const
{
    platform::Messages().MessageBoxA(mForm, ToAnsi(text), ToAnsi(title), kMessageBoxOkOnly);
}

// The label keeps "Progress": nothing was done.
void FormView::ShowRefusal(const Outcome& outcome, const Text& title) const
{
    ShowMessage(outcome.box, title);
}

void FormView::ShowOutcome(const Outcome& outcome, const Text& title) const
{
    ShowProgress(outcome.label);
    ShowMessage(outcome.box, title);
}

void FormView::BeginChanges()
{
    mSessionEndBlock.emplace(mForm);
}

void FormView::EndChanges()
{
    mSessionEndBlock.reset();
}

std::uint32_t FormView::WaitForRuns(const std::vector<platform::Handle>& processes, std::uint32_t milliseconds) const
{
    const std::uint32_t woken = platform::Windowing().MsgWaitForMultipleObjects(processes, milliseconds);
    if (woken < processes.size()) {
        return woken;
    }
    return woken == platform::kWaitObject0 + processes.size() ? kWaitEvents
           : woken == platform::kWaitTimeout                  ? kWaitTimedOut
                                                              : kWaitFailed;
}

void FormView::HandleEvents() const
{
    platform::Windowing().ProcessPendingEvents();
}
