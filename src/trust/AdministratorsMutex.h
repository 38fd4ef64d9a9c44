#pragma once

#include "platform/Handles.h"
#include "trust/RunRights.h"

#include <string>

// A named mutex of this program that only an administrator or the system
// can make, so that no user holds its name first and stops or slows every
// administrator's run. From Vista on it lives in a private namespace
// bounded by the Administrators group, which no one else may make or
// open; before (and where that fails), in the global namespace, made with
// the administrators' descriptor, and one found there counts only where an
// administrator or the system owns it.
class AdministratorsMutex {
public:
    enum class Found {
        // This run made it: no other copy held the name.
        Made,
        // Another copy of an administrator or the system holds it.
        Existing,
        // Someone the run does not trust took the name first: it is no mutex of this program.
        TakenByOther,
        // None could be made or opened.
        Unavailable
    };

    // name: the mutex's own part, "KestrinSoftwareAddinsReset".
    AdministratorsMutex(const RunRights& rights, const std::string& name);

    Found State() const noexcept { return mFound; }
    // The mutex, to wait on; 0 unless Made or Existing.
    platform::Handle Get() const noexcept { return mMutex.Get(); }

private:
    void MakeInPrivateNamespace(const std::string& name);
    void MakeGlobal(const RunRights& rights, const std::string& name);

    platform::UniqueNamespaceHandle mNamespace;
    platform::UniqueMutexHandle mMutex;
    Found mFound = Found::Unavailable;
};
