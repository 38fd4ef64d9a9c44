#include "common/Text.h"

#include <algorithm>

Text TextOfAscii(std::string_view ascii)
{
    Text text(ascii.size(), u'\0');
    std::transform(ascii.begin(), ascii.end(), text.begin(),
                   [](char c) { return static_cast<char16_t>(static_cast<unsigned char>(c)); });
    return text;
}

std::string AsciiOf(std::u16string_view text)
{
    std::string ascii(text.size(), '\0');
    std::transform(text.begin(), text.end(), ascii.begin(),
                   [](char16_t c) { return c < 0x80 ? static_cast<char>(c) : '?'; });
    return ascii;
}

namespace {

// Case folding of the alphabets a file name is likely to use: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic. Comparisons are of executable and
// library names, where that is ample.
char16_t LowerCaseOf(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool evenIsUpper = (c < 0x139) || (c > 0x148 && c < 0x179);
        if (evenIsUpper ? (c % 2 == 0) : (c % 2 == 1)) {
            return static_cast<char16_t>(c + 1);
        }
        return c;
    }
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    return c;
}

} // namespace

Text LowerCase(std::u16string_view text)
{
    Text lower(text.size(), u'\0');
    std::transform(text.begin(), text.end(), lower.begin(), LowerCaseOf);
    return lower;
}

std::string PaddedNumber(unsigned long value, std::size_t width, unsigned base)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdef"[value % base]);
        value /= base;
    } while (value != 0);
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

bool IsGuidText(std::u16string_view text)
{
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const char16_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (dash ? c != u'-' : !hex) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> Utf16LeBytes(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 * text.size());
    for (const char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

Text TextOfUtf16Le(std::string_view bytes)
{
    Text text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text +=
            static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    }
    return text;
}
