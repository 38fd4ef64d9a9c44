#pragma once

#include "common/Text.h"
#include "pe/PeImage.h"
#include "platform/LaunchServices.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The add-in is built twice: for a 32-bit Outlook (x86) and for a 64-bit one
// (x64). Each build has its folder, its registry view and the regsvr32 that
// can load its libraries. A reset works on the one that Outlook loads,
// worked out once per run.
struct Edition {
    Bitness bitness = Bitness::X86;
    // Or-ed into the access of every key of the edition: KEY_WOW64_32KEY or
    // KEY_WOW64_64KEY on 64-bit Windows, never left to the tool's own
    // bitness; 0 on 32-bit Windows, whose older systems reject the flags.
    std::uint32_t registryView = 0;
    // "...\Kestrin Software", without a closing separator.
    Text folder;
    // The system folder whose libraries the edition loads, as this program
    // reaches it, and the Windows folder; empty where unknown.
    Text systemFolder;
    Text windowsFolder;
    // Empty where the system folder is unknown: nothing is started then.
    std::string regsvr32;
    platform::LaunchServices::SystemFolder regsvr32Folder = platform::LaunchServices::SystemFolder::AsRedirected;
    // The bitness of the Outlook Windows starts; none on 32-bit Windows and without an Outlook.
    std::optional<Bitness> outlook;
    // False for the x64 edition of a 64-bit Outlook whose folder lacks
    // KROutlook.dll: nothing of it can be reset, and the x86 edition is of no use.
    bool installed = true;

    // On 32-bit Windows, the 9x line and NT 4, x86; on 64-bit Windows the
    // edition of Outlook's bitness, x86 where no Outlook is found.
    static Edition OfThisComputer();
    // Each edition an Outlook of this Windows could load: x86 alone on
    // 32-bit Windows, both on 64-bit Windows, whichever Outlook is there.
    static std::vector<Edition> EveryOfThisComputer();
};
