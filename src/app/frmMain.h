#pragma once

#include "common/Boolean.h"
#include "common/RuntimeError.h"
#include "common/Text.h"
#include "platform/Handles.h"
#include "platform/WindowingServices.h"

#include <cstdint>
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

    // One file handed to regsvr32 while registering, and what became of it.
    struct Registration {
        Text name;
        platform::UniqueProcessHandle process;
        bool started = false;
        bool finished = false;
        std::uint32_t exitCode = 0;
    };

    void cmdReset_Click();

    Boolean VerifyOutlookClosed();
    Boolean CheckHKLMKeys();
    Boolean CheckHKCUKeys();
    Boolean CheckDisabledItems();
    Boolean UnregisterFiles();
    Boolean RegisterFiles();

    Boolean WriteRegistration(platform::Handle root);
    static Boolean HasUserRegistration();
    static Boolean RemoveDisabledRecords(const Text& officeVersion, const Text& addinFolder);
    Boolean RunRegsvr32(const Text& mask, const Text& commandPrefix, const Text& progressPrefix,
                        std::vector<Registration>* registrations);
    void AwaitRegistrations(std::vector<Registration>& registrations) const;
    static void ReadExitCode(Registration& registration);
    static Text AddinFolder();
    void ShowOutcome() const;

    void ShowProgress(const Text& text) const;
    void ShowMessage(const Text& text, const Text& title) const;
    void ReportUnhandledError(const RuntimeError& error) noexcept;
    void Unload(int exitCode);

    platform::Handle mForm = 0;
    bool mRunning = false;
    // What the current run could not do, one line each, for its final box.
    std::vector<Text> mProblems;
};
