#pragma once

#include "common/Text.h"
#include "platform/Handle.h"

// What a run shows on the form. A progress text goes to the label, which
// repaints at once, and then every pending window event is handled: the
// window stays responsive and shows each text while the long steps run on
// the one thread. Boxes are modal, with an OK button and no icon.
class RunView {
public:
    explicit RunView(platform::Handle form) noexcept : mForm(form) {}

    void ShowProgress(const Text& text) const;
    void ShowMessage(const Text& text, const Text& title) const;

private:
    platform::Handle mForm;
};
