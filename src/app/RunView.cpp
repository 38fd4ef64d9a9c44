#include "app/RunView.h"

#include "app/frmMain.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"

namespace {

constexpr std::uint32_t kMessageBoxOkOnly = 0;

} // namespace

void RunView::ShowProgress(const Text& text) const
{
    auto& windowing = platform::Windowing();
    const platform::Handle label = windowing.GetDlgItem(mForm, frmMain::kLblProgress);
    windowing.SetWindowTextA(label, ToAnsi(text));
    windowing.UpdateWindow(label);
    windowing.ProcessPendingEvents();
}

void RunView::ShowMessage(const Text& text, const Text& title) const
{
    platform::Windowing().MessageBoxA(mForm, ToAnsi(text), ToAnsi(title), kMessageBoxOkOnly);
}
