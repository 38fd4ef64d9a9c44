#pragma once

#include "platform/Handles.h"
#include "trust/AdministratorsMutex.h"

#include <optional>

// One reset at a time on this computer: two copies would interleave their
// regsvr32 runs. A named mutex is held for a run's length. An
// administrator's or the system's run holds one that only an administrator
// can make (AdministratorsMutex), so that no user stops every reset by
// taking the name first; it also holds the plain name where it can, so
// that a user's own run waits for it. Any other run holds the plain name:
// from Windows 2000 on a global one, so that another account's copy is
// seen too; on older systems one of the session. It is never waited for:
// its existence alone says that another copy is resetting.
class ResetLock {
public:
    // None when another copy holds it.
    static std::optional<ResetLock> Take();

    // Where someone who is no administrator took the administrators' name
    // first, on a Windows without private namespaces: the run goes on
    // without it, and says so.
    bool NameTakenByOther() const noexcept { return mOwn && mOwn->State() == AdministratorsMutex::Found::TakenByOther; }

private:
    ResetLock(std::optional<AdministratorsMutex> own, platform::UniqueMutexHandle plain) noexcept
        : mOwn(std::move(own)), mPlain(std::move(plain))
    {
    }

    // The plain name, as a user's own run holds it; none where another holds it.
    static std::optional<platform::UniqueMutexHandle> TakePlainName(const RunRights& rights);

    std::optional<AdministratorsMutex> mOwn;
    platform::UniqueMutexHandle mPlain;
};
