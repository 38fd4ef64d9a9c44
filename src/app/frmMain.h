#pragma once

#include "app/Edition.h"
#include "app/Regsvr32Runs.h"
#include "app/UserHive.h"
#include "common/Boolean.h"
#include "common/RuntimeError.h"
#include "common/Text.h"
#include "platform/WindowingServices.h"

#include <optional>
#include <vector>

// The tool's one window and the reset driver behind its button.
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

    Boolean VerifyOutlookClosed();
    Boolean CheckHKLMKeys();
    Boolean CheckHKCUKeys();
    Boolean EnableUserRegistration();
    Boolean CheckDisabledItems();
    Boolean UnregisterFiles();
    Boolean RegisterFiles();
    Boolean CheckOutlookCanLoad();

    Boolean WriteRegistration(platform::Handle root, std::uint32_t view);
    platform::Handle UserRoot() const noexcept;
    Boolean RunRegsvr32(const Text& mask, const Text& commandPrefix, const Text& progressPrefix,
                        Regsvr32Runs::Action action);
    void ShowOutcome() const;
    static Text Block(const Text& heading, const std::vector<Text>& lines);

    void ShowProgress(const Text& text) const;
    void ShowMessage(const Text& text, const Text& title) const;
    void ReportUnhandledError(const RuntimeError& error) noexcept;
    void Unload(int exitCode);

    platform::Handle mForm = 0;
    bool mRunning = false;
    // What the current run could not do, one line each, for its final box.
    std::vector<Text> mProblems;
    // What keeps Outlook from loading the add-in that no reset can change, one line each.
    std::vector<Text> mBlockers;
    // Whose per-user settings the current run repairs.
    std::optional<UserHive> mUser;
    // Which of the add-in's builds the current run resets.
    std::optional<Edition> mEdition;
    // The current run's regsvr32 processes, from the first unregistration to the last registration.
    Regsvr32Runs mRegsvr32;
};
