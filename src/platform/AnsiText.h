#pragma once

#include "common/Text.h"

#include <string>
#include <string_view>

// Every operating-system call that takes or returns text uses its ANSI form:
// text crosses the boundary in the system's ANSI code page, converted by the
// installed kernel services.
std::string ToAnsi(std::u16string_view text);
Text FromAnsi(std::string_view ansi);
