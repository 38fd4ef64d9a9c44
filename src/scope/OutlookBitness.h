#pragma once

#include "pe/PeImage.h"

#include <optional>

// The bitness of the Outlook that Windows starts, on 64-bit Windows: that of
// the outlook.exe its App Paths key names (in the 64-bit view, which the
// shell reads); where that key or file is missing, the Bitness value of the
// newest Office version whose Outlook is installed, or for Click-to-Run's
// 16.0 its Platform. A version without an installed Outlook is a leftover of
// an older Office and says nothing. None where no Outlook is found.
std::optional<Bitness> OutlookBitness();
