#pragma once

#include "common/Boolean.h"
#include "platform/Handle.h"
#include "scope/Edition.h"
#include "scope/RunReport.h"
#include "scope/RunView.h"

#include <cstdint>
#include <utility>
#include <vector>

// The add-in's registration with Outlook: the four values of
// Outlook\Addins\KestrinSoftware.Connect that Outlook loads it by. Every
// other value of the key is the add-in's own and stays; nothing is deleted.
class AddinRegistration {
public:
    explicit AddinRegistration(const Edition& edition);

    // The four values under HKEY_LOCAL_MACHINE, in the edition's view, and
    // LoadBehavior 3 in Click-to-Run's copy where it has one. False when the
    // key or a value could not be written, so that the driver falls back to
    // the user's own hive. Nothing is written for an edition that is not
    // installed.
    Boolean WriteForMachine(const RunView& view, RunReport& report);
    // The four values under a user's root, which both views share.
    Boolean WriteForUser(platform::Handle userRoot, const RunView& view, RunReport& report);
    // Where there is neither: False, with the line.
    static Boolean ReportNotWritten(RunReport& report);
    // Office writes a per-user registration to disable an add-in, and it
    // outweighs the machine's. Ticking the add-in in Office's own COM Add-ins
    // dialog sets only its LoadBehavior back, and so does this; it never
    // creates one. False when an existing one could not be looked at or written.
    Boolean EnableUserOverride(platform::Handle userRoot, const RunView& view, RunReport& report) const;
    // Many add-in libraries delete their registration in DllUnregisterServer,
    // and not all write it back when registered: after the registering, the
    // registration written is read again and, where its key or LoadBehavior 3
    // is gone, written once more.
    Boolean Restore(RunReport& report) const;

    // Reads only: a line for what a reset would write, in the machine's
    // registration and Click-to-Run's copy of it. A registration with
    // LoadBehavior 3 is right, whoever wrote its other values; a machine
    // without one is right where each of the users has the fallback's.
    void InspectMachine(const std::vector<platform::Handle>& userRoots, RunReport& report) const;
    // A per-user registration whose LoadBehavior a reset would set.
    static void InspectUser(platform::Handle userRoot, RunReport& report);

    // Every registration key a reset repairs: the machine's, in the
    // edition's view, Click-to-Run's copy of it, and each user's.
    struct Key {
        platform::Handle root;
        Text path;
        std::uint32_t view;
        // Whose: "DOMAIN\NAME", empty for the machine's.
        Text user;
    };
    std::vector<Key> KeysRepaired(const std::vector<std::pair<platform::Handle, Text>>& users) const;

private:
    static bool Write(platform::Handle root, std::uint32_t view);
    static bool IsEnabled(platform::Handle root, std::uint32_t view);
    Text ClickToRunCopy() const;
    std::uint32_t ClickToRunView() const;
    bool EnableClickToRunCopy() const;

    bool mInstalled;
    std::uint32_t mRegistryView;
    // Where the four values were written, and in which view.
    std::vector<std::pair<platform::Handle, std::uint32_t>> mWritten;
};
