#pragma once

#include "common/Text.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What one reset, or one check, found. Every step adds its own lines:
// problems are what the reset itself could not do (or, for a check, what a
// reset would change), blockers what keeps Outlook from loading the add-in
// that no reset may change, reasons what Outlook's own records say of why it
// turned the add-in off, which change no outcome. The final text is made
// from it alone.
class RunReport {
public:
    // One line of the final text, and what a script reads of it instead: a
    // code that never changes, and the file and numbers the line names.
    struct Line {
        Text text;
        std::string code;
        Text file = {};
        std::optional<std::uint32_t> loadBehavior = {};
        std::optional<std::uint32_t> error = {};
        // Of a reason Outlook turned the add-in off: the milliseconds it took
        // and those Outlook allows, the day (YYYY-MM-DD) Outlook's event was
        // written, and at which moment it was slow or that it crashed.
        std::optional<std::uint32_t> takenMs = {};
        std::optional<std::uint32_t> thresholdMs = {};
        Text when = {};
        std::string moment = {};
        // Whose settings the line is about; empty for the computer's. Set by the report.
        Text user = {};
    };

    // What a line stands for, where the final text's advice depends on it.
    enum class Cause {
        Other,
        LibraryNotLoaded,
        MainLibraryNotLoaded,
        ClassNotRegistered,
        LibraryMissing,
        // A check's line that no reset would change.
        NoResetHelps
    };

    // signedInUser: "DOMAIN\NAME" of the user whose settings the run
    // repairs, where that is not the tool's own; empty otherwise.
    explicit RunReport(Text signedInUser = Text()) : mSignedInUser(std::move(signedInUser)) {}

    // A run of LocalSystem's for every user whose hive is loaded: the users' names.
    static RunReport ForEveryLoadedUser(std::vector<Text> users)
    {
        RunReport report;
        report.mEveryLoadedUser = true;
        report.mUsers = std::move(users);
        return report;
    }

    // Lines added from now on are about that user's settings, and say so;
    // empty for lines about the computer's.
    void AboutUser(const Text& name) { mAboutUser = name; }

    // A line already there is not told twice.
    void AddProblem(Line line, Cause cause = Cause::Other)
    {
        if (!Add(mProblems, std::move(line))) {
            return;
        }
        mLibrariesNotLoaded += cause == Cause::LibraryNotLoaded || cause == Cause::MainLibraryNotLoaded ? 1 : 0;
        mMainLibraryNotLoaded = mMainLibraryNotLoaded || cause == Cause::MainLibraryNotLoaded;
        mClassNotRegistered += cause == Cause::ClassNotRegistered ? 1 : 0;
        mResetWouldChange = mResetWouldChange || cause != Cause::NoResetHelps;
    }
    void AddBlocker(Line line, Cause cause = Cause::Other)
    {
        if (Add(mBlockers, std::move(line))) {
            mLibrariesMissing += cause == Cause::LibraryMissing ? 1 : 0;
        }
    }

    void AddReason(Line line) { Add(mReasons, std::move(line)); }

    const std::vector<Line>& Problems() const noexcept { return mProblems; }
    const std::vector<Line>& Blockers() const noexcept { return mBlockers; }
    const std::vector<Line>& Reasons() const noexcept { return mReasons; }
    const Text& SignedInUser() const noexcept { return mSignedInUser; }
    bool EveryLoadedUser() const noexcept { return mEveryLoadedUser; }
    const std::vector<Text>& Users() const noexcept { return mUsers; }
    // True when the reset's only problems are libraries that could not be
    // loaded and the report names what they lack: no administrator can help.
    // A class never registered because KROutlook.dll could not be loaded
    // follows from the same cause.
    bool OnlyLibrariesLackingOthers() const noexcept
    {
        const std::size_t following = mMainLibraryNotLoaded ? mClassNotRegistered : 0;
        return !mProblems.empty() && mLibrariesNotLoaded + following == mProblems.size() && mLibrariesMissing > 0;
    }
    // For a check: a problem line that a reset would change.
    bool ResetWouldChange() const noexcept { return mResetWouldChange; }

private:
    // The line names its user; false where the same line is there already.
    bool Add(std::vector<Line>& lines, Line line) const
    {
        if (!mAboutUser.empty()) {
            line.text += u" (" + mAboutUser + u")";
            line.user = mAboutUser;
        }
        if (std::any_of(lines.begin(), lines.end(), [&](const Line& there) { return there.text == line.text; })) {
            return false;
        }
        lines.push_back(std::move(line));
        return true;
    }

    Text mSignedInUser;
    bool mEveryLoadedUser = false;
    std::vector<Text> mUsers;
    Text mAboutUser;
    std::vector<Line> mProblems;
    std::vector<Line> mBlockers;
    std::vector<Line> mReasons;
    std::size_t mLibrariesNotLoaded = 0;
    bool mMainLibraryNotLoaded = false;
    std::size_t mClassNotRegistered = 0;
    std::size_t mLibrariesMissing = 0;
    bool mResetWouldChange = false;
};
