#include "platform/AnsiText.h"

#include "platform/Platform.h"

std::string ToAnsi(std::u16string_view text)
{
    return platform::Kernel().WideToAnsi(text);
}

Text FromAnsi(std::string_view ansi)
{
    return platform::Kernel().AnsiToWide(ansi);
}
