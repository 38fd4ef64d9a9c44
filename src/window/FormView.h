#pragma once

#include "platform/Handle.h"
#include "scope/RunView.h"
#include "window/SessionEndBlock.h"

#include <optional>

// A run as the window shows it. A progress text goes to the label, which
// repaints at once, and then every pending window event is handled: the
// window stays responsive and shows each text while the long steps run on
// the one thread; waits wake for window events too. Boxes are modal, with an
// OK button and no icon. Log-off waits while the reset changes things.
class FormView final : public RunView {
public:
    explicit FormView(platform::Handle form) noexcept : mForm(form) {}

    void ShowProgress(const Text& text) const override;
    void ShowMessage(const Text& text, const Text& title) const override;
    void ShowRefusal(const Outcome& outcome, const Text& title) const override;
    void ShowOutcome(const Outcome& outcome, const Text& title) const override;
    void BeginChanges() override;
    void EndChanges() override;
    std::uint32_t WaitForRuns(const std::vector<platform::Handle>& processes,
                              std::uint32_t milliseconds) const override;
    void HandleEvents() const override;

    // True from the first change to the end of the last step.
    bool ChangesUnderway() const noexcept { return mSessionEndBlock.has_value(); }

private:
    platform::Handle mForm;
    std::optional<SessionEndBlock> mSessionEndBlock;
};
