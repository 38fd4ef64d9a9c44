#pragma once

#include "platform/Platform.h"

// Holds up log-off and shut-down while it lives, with the reason Vista and
// later show the user; before Vista the form's answer alone holds them up.
class SessionEndBlock {
public:
    explicit SessionEndBlock(platform::Handle form) : mForm(form)
    {
        auto& windowing = platform::Windowing();
        mReasonGiven = windowing.HasShutdownBlockReason() &&
                       windowing.ShutdownBlockReasonCreate(mForm, u"Resetting Kestrin Software add-ins");
    }
    SessionEndBlock(const SessionEndBlock&) = delete;
    SessionEndBlock& operator=(const SessionEndBlock&) = delete;
    // The call was found when the reason was given, so nothing is looked up here.
    ~SessionEndBlock()
    {
        if (mReasonGiven) {
            platform::Windowing().ShutdownBlockReasonDestroy(mForm);
        }
    }

private:
    platform::Handle mForm;
    bool mReasonGiven = false;
};
