#pragma once

#include "app/AddinFolder.h"
#include "app/AddinRegistration.h"
#include "app/Edition.h"
#include "app/Regsvr32Runs.h"
#include "app/ResetLock.h"
#include "app/RunReport.h"
#include "app/RunView.h"
#include "app/SessionEndBlock.h"
#include "app/UserHive.h"
#include "common/Boolean.h"
#include "common/RuntimeError.h"
#include "common/Text.h"
#include "platform/WindowingServices.h"

#include <optional>

// The tool's one window and the reset driver behind its button. Each step
// does its work in a unit of its own and adds its lines to the run's report.
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
    // One click's run: whose settings and which edition it repairs, its
    // regsvr32 processes and what it found.
    struct Run {
        explicit Run(platform::Handle form);

        RunView view;
        UserHive user;
        Edition edition;
        AddinFolder folder;
        RunReport report;
        AddinRegistration registration;
        Regsvr32Runs regsvr32;
    };

    static platform::FormLayout Layout();

    void OnClick(int controlId) noexcept override;
    void OnClose() noexcept override;
    bool OnQueryEndSession() noexcept override;

    void cmdReset_Click();

    Boolean VerifyOutlookClosed() const;
    Boolean VerifyNoOtherCopyResets();
    Boolean CheckHKLMKeys();
    Boolean CheckHKCUKeys();
    Boolean EnableUserRegistration();
    Boolean CheckDisabledItems();
    Boolean UnregisterFiles();
    Boolean RegisterFiles();
    Boolean RestoreRegistration();
    Boolean CheckOutlookCanLoad();
    Boolean VerifyOutlookStayedClosed();
    int ShowOutcome();

    void ReportUnhandledError(const RuntimeError& error) noexcept;
    void Unload(int exitCode);

    platform::Handle mForm = 0;
    bool mRunning = false;
    std::optional<ResetLock> mLock;
    std::optional<Run> mRun;
    // From the reset's first write to the end of its last step.
    std::optional<SessionEndBlock> mSessionEndBlock;
};
