#pragma once

#include "common/Text.h"

#include <array>

// The add-in's ProgID, which Outlook and its records name it by; where
// Office keeps its settings and Outlook its add-ins' registrations.
inline const Text kProgId = u"KestrinSoftware.Connect";
inline const Text kOfficeKey = u"Software\\Microsoft\\Office\\";
inline const Text kAddinRegistrationKey = kOfficeKey + u"Outlook\\Addins\\" + kProgId + u"\\";
// Where Office reads its users' policies, each version below: Group
// Policy's and the cloud policy service's.
inline const std::array kOfficePolicyKeys = {Text(u"Software\\Policies\\Microsoft\\Office\\"),
                                             Text(u"Software\\Policies\\Microsoft\\Cloud\\Office\\")};
