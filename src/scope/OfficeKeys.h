#pragma once

#include "common/Text.h"

// Where Office keeps its settings and Outlook its add-ins' registrations.
inline const Text kOfficeKey = u"Software\\Microsoft\\Office\\";
inline const Text kAddinRegistrationKey = kOfficeKey + u"Outlook\\Addins\\KestrinSoftware.Connect\\";
