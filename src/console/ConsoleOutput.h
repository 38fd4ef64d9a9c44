#pragma once

#include "common/Text.h"
#include "run/Outcome.h"

#include <cstddef>
#include <string>
#include <vector>

// Where the administrators' program writes: plain lines in the console's
// code page. Standard output holds the outcome alone, at most 2,048
// characters, as much as fleet tools keep of a script's output. Standard
// error holds warnings, and progress where it is a console a person
// watches; with --json, nothing at all.
class ConsoleOutput {
public:
    static constexpr std::size_t kMostCharacters = 2048;

    // The outcome's text, shortened where it would pass the most
    // characters. False when standard output went away before the end.
    static bool WriteOutcome(const Outcome& outcome);
    // A text that is no outcome (the usage, a run-time error's report),
    // its last line saying how many were left out where it is too long.
    static bool WriteText(const Text& text);
    // One line, as it is: the JSON answer.
    static bool WriteLine(const std::string& ascii);
    // The lines of the text, always.
    static void WriteWarning(const Text& text);
    // One line, only where standard error is a console: a log file has no
    // use for "Registering ..." lines.
    static void WriteProgress(const Text& line);

    // The lines that fit within the most characters, each counted with its
    // line break. The first line, every line without a code (the headings,
    // what keeps Outlook from loading the add-in, the advice, the verdict)
    // and the first of each run of lines of one code stay; the longest run
    // is shortened first, where it stands, to its first lines and one that
    // counts the rest. Only where that is not enough are lines left out
    // from the end, the last line that stays saying how many.
    static std::vector<Text> Capped(const std::vector<Outcome::TextLine>& lines, std::size_t mostCharacters);
};
