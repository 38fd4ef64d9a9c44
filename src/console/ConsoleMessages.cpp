#include "console/ConsoleMessages.h"

#include "console/ConsoleOutput.h"
#include "platform/AnsiText.h"

// As OK pressed: the caller goes on.
std::int32_t ConsoleMessages::MessageBoxA(platform::Handle, const std::string& text, const std::string& caption,
                                          std::uint32_t)
{
    constexpr std::int32_t kOk = 1;
    if (!mQuiet) {
        ConsoleOutput::WriteWarning(FromAnsi(caption) + u": " + FromAnsi(text));
    }
    return kOk;
}
