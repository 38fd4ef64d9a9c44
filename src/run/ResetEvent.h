#pragma once

#include "common/Text.h"

#include <cstdint>
#include <optional>
#include <string>

// One event in the Application log for each reset and each restore, of
// either program, which administrators collect into their monitoring: its
// number says how the run ended (1000 and a reset's exit code, 1100 and a
// restore's, 1999 a run-time error of either), its type whether it needs
// a look, its strings the text the run showed and, last, its JSON line.
// The console program holds the message table; the MSI registers the source.
class ResetEvent {
public:
    enum class Command { Reset, Restore };

    static constexpr std::uint32_t kRunTimeError = 1999;
    static inline const std::string kSource = "Kestrin Software Add-Ins Reset";

    // None for an ending that writes no event.
    static std::optional<std::uint32_t> IdOf(Command command, int exitCode) noexcept;
    // Information for a success; a warning for a refusal, or an add-in that
    // Outlook will not load; an error for work not done.
    static std::uint16_t TypeOf(Command command, int exitCode) noexcept;
    // Why it could not be written; none where it was.
    static std::optional<Text> Write(std::uint32_t id, std::uint16_t type, const Text& text, const std::string& json);
};
