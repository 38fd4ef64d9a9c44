#pragma once

#include "common/RuntimeError.h"
#include "common/Text.h"
#include "platform/WindowingServices.h"
#include "window/FormView.h"

#include <optional>

// The tool's one window. Its button runs the reset's steps, which the
// console program runs too, on the form's view.
class frmMain final : private platform::FormEvents {
public:
    static constexpr int kLabel1 = 101;
    static constexpr int kCmdReset = 102;
    static constexpr int kLblProgress = 103;
    static constexpr int kIconResource = 1;

    frmMain() = default;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;
    ~frmMain() = default;

    void Show();

    static const Text& Title();

private:
    static platform::FormLayout Layout();

    void OnClick(int controlId) noexcept override;
    void OnClose() noexcept override;
    bool OnQueryEndSession() noexcept override;

    void cmdReset_Click();

    void ReportUnhandledError(const RuntimeError& error) noexcept;
    void Unload(int exitCode);

    platform::Handle mForm = 0;
    bool mRunning = false;
    std::optional<FormView> mView;
};
