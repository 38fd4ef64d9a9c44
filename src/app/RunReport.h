#pragma once

#include "common/Text.h"

#include <utility>
#include <vector>

// What one reset found, made for each click. Every step adds its own lines:
// problems are what the reset itself could not do, blockers what keeps
// Outlook from loading the add-in that no reset may change. The final box
// is made from it alone.
class RunReport {
public:
    // signedInUser: "DOMAIN\NAME" of the user whose settings the run
    // repairs, where that is not the tool's own; empty otherwise.
    explicit RunReport(Text signedInUser = Text()) : mSignedInUser(std::move(signedInUser)) {}

    void AddProblem(Text line) { mProblems.push_back(std::move(line)); }
    void AddBlocker(Text line) { mBlockers.push_back(std::move(line)); }

    const std::vector<Text>& Problems() const noexcept { return mProblems; }
    const std::vector<Text>& Blockers() const noexcept { return mBlockers; }
    const Text& SignedInUser() const noexcept { return mSignedInUser; }

private:
    Text mSignedInUser;
    std::vector<Text> mProblems;
    std::vector<Text> mBlockers;
};
