#pragma once

#include <string>
#include <string_view>

namespace platform {

// kernel32's standard handles and console: where a console program writes.
class ConsoleServices {
public:
    enum class Stream { Output, Error };

    virtual ~ConsoleServices() = default;

    // True where the stream is a console window, not a file, a pipe or nothing.
    virtual bool IsConsole(Stream stream) = 0;
    // False when the bytes could not all be written: no such stream, or a pipe closed early.
    virtual bool Write(Stream stream, std::string_view bytes) = 0;
    // Text in the console's code page, or the OEM one where the program has no console.
    virtual std::string ToConsoleText(std::u16string_view text) = 0;
};

} // namespace platform
