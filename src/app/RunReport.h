#pragma once

#include "common/Text.h"

#include <algorithm>
#include <utility>
#include <vector>

// What one reset found, made for each click. Every step adds its own lines:
// problems are what the reset itself could not do, blockers what keeps
// Outlook from loading the add-in that no reset may change. The final box
// is made from it alone.
class RunReport {
public:
    // What a line stands for, where the final box's advice depends on it.
    enum class Cause { Other, LibraryNotLoaded, MainLibraryNotLoaded, ClassNotRegistered, LibraryMissing };

    // signedInUser: "DOMAIN\NAME" of the user whose settings the run
    // repairs, where that is not the tool's own; empty otherwise.
    explicit RunReport(Text signedInUser = Text()) : mSignedInUser(std::move(signedInUser)) {}

    // A line already there is not told twice.
    void AddProblem(Text line, Cause cause = Cause::Other)
    {
        if (std::find(mProblems.begin(), mProblems.end(), line) != mProblems.end()) {
            return;
        }
        mLibrariesNotLoaded += cause == Cause::LibraryNotLoaded || cause == Cause::MainLibraryNotLoaded ? 1 : 0;
        mMainLibraryNotLoaded = mMainLibraryNotLoaded || cause == Cause::MainLibraryNotLoaded;
        mClassNotRegistered += cause == Cause::ClassNotRegistered ? 1 : 0;
        mProblems.push_back(std::move(line));
    }
    void AddBlocker(Text line, Cause cause = Cause::Other)
    {
        if (std::find(mBlockers.begin(), mBlockers.end(), line) != mBlockers.end()) {
            return;
        }
        mLibrariesMissing += cause == Cause::LibraryMissing ? 1 : 0;
        mBlockers.push_back(std::move(line));
    }

    const std::vector<Text>& Problems() const noexcept { return mProblems; }
    const std::vector<Text>& Blockers() const noexcept { return mBlockers; }
    const Text& SignedInUser() const noexcept { return mSignedInUser; }
    // True when the reset's only problems are libraries that could not be
    // loaded and the report names what they lack: no administrator can help.
    // A class never registered because KROutlook.dll could not be loaded
    // follows from the same cause.
    bool OnlyLibrariesLackingOthers() const noexcept
    {
        const std::size_t following = mMainLibraryNotLoaded ? mClassNotRegistered : 0;
        return !mProblems.empty() && mLibrariesNotLoaded + following == mProblems.size() && mLibrariesMissing > 0;
    }

private:
    Text mSignedInUser;
    std::vector<Text> mProblems;
    std::vector<Text> mBlockers;
    std::size_t mLibrariesNotLoaded = 0;
    bool mMainLibraryNotLoaded = false;
    std::size_t mClassNotRegistered = 0;
    std::size_t mLibrariesMissing = 0;
};
