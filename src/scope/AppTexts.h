#pragma once

#include "common/Text.h"

// Texts the tool's parts share: the title of its window and boxes, and the
// address the boxes send the user to.
inline const Text kTitle = u"Kestrin Software Add-Ins Reset";
inline const Text kSupportAddress = u"support@kestrinsoftware.com";
inline const Text kAddinName = u"Kestrin Software Add-In Engine";
// The programs' version, as their version resources give it.
inline const Text kVersion = TextOfAscii(ADDINSRESET_VERSION);
