#include "registry/RegFile.h"

#include "platform/AnsiText.h"
#include "platform/SystemCodes.h"

namespace {

using platform::kRegBinary;
using platform::kRegDword;
using platform::kRegSz;

enum class Form { Regedit4, Regedit5 };

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string_view Trimmed(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// A number of one to eight hex digits, as "dword:" and "hex(N):" hold it.
std::optional<std::uint32_t> HexNumber(std::u16string_view digits)
{
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (const char16_t c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    return number;
}

// "41,00,42": bytes of two digits each, commas between; nothing at all is no bytes.
std::optional<std::vector<std::uint8_t>> HexBytes(std::u16string_view list)
{
    std::vector<std::uint8_t> bytes;
    list = Trimmed(list);
    while (!list.empty()) {
        const auto comma = list.find(u',');
        const auto byte = Trimmed(list.substr(0, comma));
        const auto number = byte.size() == 2 ? HexNumber(byte) : std::nullopt;
        if (!number) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(*number));
        if (comma == std::u16string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
        if (Trimmed(list).empty()) {
            return std::nullopt;
        }
    }
    return bytes;
}

// A quoted name or text at the start of the line: its text, and the rest of the line after the closing quote.
std::optional<std::pair<Text, std::u16string_view>> QuotedAtStart(std::u16string_view line)
{
    if (line.empty() || line.front() != u'"') {
        return std::nullopt;
    }
    Text text;
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (line[i] == u'"') {
            return std::pair(text, line.substr(i + 1));
        }
        if (line[i] == u'\\') {
            if (++i == line.size() || (line[i] != u'\\' && line[i] != u'"')) {
                return std::nullopt;
            }
        }
        text += line[i];
    }
    return std::nullopt;
}

// The data after the "=" of a value line.
std::optional<RegFile::Entry> DataOf(Form form, std::u16string_view data)
{
    RegFile::Entry entry;
    if (data == u"-") {
        entry.remove = true;
        return entry;
    }
    if (const auto text = QuotedAtStart(data)) {
        if (!Trimmed(text->second).empty()) {
            return std::nullopt;
        }
        entry.type = kRegSz;
        entry.data = Utf16LeBytes(text->first + u'\0');
        return entry;
    }
    if (data.starts_with(u"dword:")) {
        const auto number = HexNumber(data.substr(6));
        if (!number || data.size() != 14) {
            return std::nullopt;
        }
        entry.type = kRegDword;
        entry.data = {static_cast<std::uint8_t>(*number), static_cast<std::uint8_t>(*number >> 8),
                      static_cast<std::uint8_t>(*number >> 16), static_cast<std::uint8_t>(*number >> 24)};
        return entry;
    }
    std::u16string_view bytes;
    if (data.starts_with(u"hex:")) {
        entry.type = kRegBinary;
        bytes = data.substr(4);
    } else if (data.starts_with(u"hex(")) {
        const auto close = data.find(u"):");
        const auto type = close == std::u16string_view::npos ? std::nullopt : HexNumber(data.substr(4, close - 4));
        if (!type) {
            return std::nullopt;
        }
        entry.type = *type;
        bytes = data.substr(close + 2);
    } else {
        return std::nullopt;
    }
    auto parsed = HexBytes(bytes);
    if (!parsed) {
        return std::nullopt;
    }
    entry.data = std::move(*parsed);
    // REGEDIT4 holds a text's bytes in the code page.
    if (form == Form::Regedit4 && platform::IsTextType(entry.type)) {
        entry.data = Utf16LeBytes(
            FromAnsi(std::string_view(reinterpret_cast<const char*>(entry.data.data()), entry.data.size())));
    }
    return entry;
}

std::optional<RegFile::Entry> ValueOf(Form form, std::u16string_view line)
{
    Text name;
    std::u16string_view rest;
    if (line.starts_with(u"@")) {
        rest = line.substr(1);
    } else if (const auto quoted = QuotedAtStart(line)) {
        name = quoted->first;
        rest = quoted->second;
    } else {
        return std::nullopt;
    }
    rest = Trimmed(rest);
    if (rest.empty() || rest.front() != u'=') {
        return std::nullopt;
    }
    auto entry = DataOf(form, Trimmed(rest.substr(1)));
    if (entry) {
        entry->name = std::move(name);
    }
    return entry;
}

// The file's lines, those a hex value continues with a closing backslash joined into one.
std::vector<std::pair<Text, std::size_t>> LinesOf(std::u16string_view text)
{
    std::vector<std::pair<Text, std::size_t>> lines;
    bool continues = false;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find(u'\n');
        std::u16string_view line = text.substr(0, end);
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == u'\r') {
            line.remove_suffix(1);
        }
        if (continues) {
            line = Trimmed(line);
            lines.back().first += line;
        } else {
            lines.emplace_back(Text(line), number);
        }
        continues = !line.empty() && line.back() == u'\\' && !line.starts_with(u"[") && !line.starts_with(u";") &&
                    lines.back().first.find(u"=hex") != Text::npos;
        if (continues) {
            lines.back().first.pop_back();
        }
    }
    return lines;
}

} // namespace

std::optional<RegFile> RegFile::Parse(std::u16string_view text, std::size_t& badLine)
{
    const auto lines = LinesOf(text);
    std::optional<Form> form;
    RegFile file;
    for (const auto& [whole, number] : lines) {
        badLine = number;
        const std::u16string_view line = Trimmed(whole);
        if (line.empty() || line.front() == u';') {
            continue;
        }
        if (!form) {
            if (line == u"REGEDIT4") {
                form = Form::Regedit4;
            } else if (line == u"Windows Registry Editor Version 5.00") {
                form = Form::Regedit5;
            } else {
                return std::nullopt;
            }
            continue;
        }
        if (line.front() == u'[') {
            if (line.back() != u']') {
                return std::nullopt;
            }
            Block block;
            block.remove = line.starts_with(u"[-");
            block.key = Text(line.substr(block.remove ? 2 : 1, line.size() - (block.remove ? 3 : 2)));
            if (Trimmed(block.key).empty() || HasControlCharacter(block.key)) {
                return std::nullopt;
            }
            file.blocks.push_back(std::move(block));
            continue;
        }
        auto entry = ValueOf(*form, line);
        if (!entry || file.blocks.empty() || file.blocks.back().remove || HasControlCharacter(entry->name)) {
            return std::nullopt;
        }
        file.blocks.back().entries.push_back(std::move(*entry));
    }
    badLine = 0;
    if (!form) {
        badLine = 1;
        return std::nullopt;
    }
    return file;
}

Text RegFile::TextOf(std::string_view bytes)
{
    return bytes.starts_with("\xFF\xFE") ? TextOfUtf16Le(bytes.substr(2)) : FromAnsi(bytes);
}
