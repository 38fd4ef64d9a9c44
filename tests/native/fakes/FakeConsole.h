#pragma once

#include "platform/ConsoleServices.h"

#include <optional>
#include <string>

namespace fakes {

// A console program's standard output and error, in memory: each a console
// window or redirected, and output a pipe that may close early.
class FakeConsole : public platform::ConsoleServices {
public:
    std::string output;
    std::string error;
    bool outputIsConsole = false;
    bool errorIsConsole = true;
    // The reader of standard output goes away once it has this many bytes.
    std::optional<std::size_t> outputClosesAfter;

    bool IsConsole(Stream stream) override { return stream == Stream::Output ? outputIsConsole : errorIsConsole; }

    bool Write(Stream stream, std::string_view bytes) override
    {
        if (stream == Stream::Error) {
            error += bytes;
            return true;
        }
        if (outputClosesAfter && output.size() + bytes.size() > *outputClosesAfter) {
            output += bytes.substr(0, *outputClosesAfter - std::min(output.size(), *outputClosesAfter));
            return false;
        }
        output += bytes;
        return true;
    }

    // The console's code page of the tests: Latin-1, '?' for the rest.
    std::string ToConsoleText(std::u16string_view text) override
    {
        std::string converted;
        for (const char16_t c : text) {
            converted.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        }
        return converted;
    }
};

} // namespace fakes
