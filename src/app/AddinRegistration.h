#pragma once

#include "app/Edition.h"
#include "app/RunReport.h"
#include "app/RunView.h"
#include "common/Boolean.h"
#include "platform/Handle.h"

#include <cstdint>
#include <optional>
#include <utility>

// The add-in's registration with Outlook: the four values of
// Outlook\Addins\KestrinSoftware.Connect that Outlook loads it by. Every
// other value of the key is the add-in's own and stays; nothing is deleted.
class AddinRegistration {
public:
    AddinRegistration(const Edition& edition, platform::Handle userRoot);

    // The four values under HKEY_LOCAL_MACHINE, in the edition's view, and
    // LoadBehavior 3 in Click-to-Run's copy where it has one. False when the
    // key or a value could not be written, so that the driver falls back to
    // the user's own hive. Nothing is written for an edition that is not
    // installed.
    Boolean WriteForMachine(const RunView& view, RunReport& report);
    // The four values under the signed-in user's root, which both views share.
    Boolean WriteForUser(const RunView& view, RunReport& report);
    // Office writes a per-user registration to disable an add-in, and it
    // outweighs the machine's. Ticking the add-in in Office's own COM Add-ins
    // dialog sets only its LoadBehavior back, and so does this; it never
    // creates one. False when an existing one could not be looked at or written.
    Boolean EnableUserOverride(const RunView& view, RunReport& report) const;
    // Many add-in libraries delete their registration in DllUnregisterServer,
    // and not all write it back when registered: after the registering, the
    // registration written is read again and, where its key or LoadBehavior 3
    // is gone, written once more.
    Boolean Restore(RunReport& report) const;

private:
    static bool Write(platform::Handle root, std::uint32_t view);
    bool EnableClickToRunCopy() const;

    bool mInstalled;
    std::uint32_t mRegistryView;
    platform::Handle mUserRoot;
    // Where the four values were written, and in which view; none before a write took.
    std::optional<std::pair<platform::Handle, std::uint32_t>> mWritten;
};
