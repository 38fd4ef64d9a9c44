#pragma once

#include "common/Text.h"

#include <cstddef>
#include <vector>

// Where the administrators' program writes: plain lines in the console's
// code page. Standard output holds the outcome alone, at most 2,048
// characters, as much as fleet tools keep of a script's output; where the
// lines would pass that, the last line says how many were left out.
// Standard error holds warnings, and progress where it is a console a
// person watches.
class ConsoleOutput {
public:
    static constexpr std::size_t kMostCharacters = 2048;

    // The lines of the text ("\r\n" between them) that fit, and the count of
    // those left out. False when standard output went away before the end.
    static bool WriteOutcome(const Text& text);
    // The lines of the text, always.
    static void WriteWarning(const Text& text);
    // One line, only where standard error is a console: a log file has no
    // use for "Registering ..." lines.
    static void WriteProgress(const Text& line);

    // The lines that fit within the most characters, each counted with its
    // line break, the last one saying how many were left out where any were.
    static std::vector<Text> Capped(const std::vector<Text>& lines, std::size_t mostCharacters);
};
