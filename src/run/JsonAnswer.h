#pragma once

#include "run/Outcome.h"

#include <cstddef>
#include <string>

// What the administrators' program answers with --json: one line holding
// one JSON object, in ASCII alone, within the characters a fleet tool keeps
// of a script's output. Every line of the text is an entry with a code
// that never changes; lines the same but for their user are one entry
// naming its users. Where the answer would pass the limit, the list of the
// run's users gives way first ("usersLeftOut" counts those not named),
// then the users an entry names beyond its first, then the entries from
// the last, every reason of Outlook's staying longest, then every blocker;
// "more" counts the entries left out.
class JsonAnswer {
public:
    static constexpr std::size_t kMostCharacters = 2048;

    // command: "check" or "reset".
    static std::string Of(const std::string& command, const Outcome& outcome,
                          std::size_t mostCharacters = kMostCharacters);
    // A run that ended with a run-time error, which has no outcome.
    static std::string OfRunTimeError(const std::string& command, int number, const Text& description);

    // A JSON string of the text: quoted, with \uXXXX for what is not printable ASCII.
    static std::string Quoted(std::u16string_view text);
};
