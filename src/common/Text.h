#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// Text inside the program is UTF-16; the ANSI code page is met only at the
// operating-system boundary (platform/AnsiText.h).
using Text = std::u16string;

// For fixed ASCII texts (function and library names) that never depend on the
// code page.
Text TextOfAscii(std::string_view ascii);
std::string AsciiOf(std::u16string_view text);

Text LowerCase(std::u16string_view text);

// A text as UTF-16 little-endian bytes, as files and the wide registry calls
// hold it; and back, an odd last byte left out.
std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view text);
Text TextOfUtf16Le(std::string_view bytes);

// A number's digits in base 10 or 16 (lower case), with leading zeros to at
// least the width: printf's formatting would bring its floating-point engine
// into every exe.
std::string PaddedNumber(unsigned long value, std::size_t width, unsigned base = 10);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": anything else, a path included,
// must not become part of a key name.
bool IsGuidText(std::u16string_view text);

// A text without the double quotes around all of it, as paths are often stored.
inline std::u16string_view Unquoted(std::u16string_view text)
{
    return text.size() >= 2 && text.front() == u'"' && text.back() == u'"' ? text.substr(1, text.size() - 2) : text;
}

// Whether a text holds a character below 0x20 (a line break, a tab, a
// NUL): such a name or value cannot stand as one line of a file.
template <typename Char>
bool HasControlCharacter(std::basic_string_view<Char> text)
{
    return std::any_of(text.begin(), text.end(),
                       [](Char c) { return static_cast<std::make_unsigned_t<Char>>(c) < 0x20; });
}
inline bool HasControlCharacter(const Text& text)
{
    return HasControlCharacter(std::u16string_view(text));
}
inline bool HasControlCharacter(const std::string& text)
{
    return HasControlCharacter(std::string_view(text));
}

// The text before the first NUL, all of it when it holds none: how the
// system's fixed fields and stored values end their texts.
template <typename Char>
std::basic_string_view<Char> BeforeFirstNul(std::basic_string_view<Char> text)
{
    return text.substr(0, text.find(Char{}));
}
