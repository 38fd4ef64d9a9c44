#include "console/ConsoleOutput.h"

#include "platform/Platform.h"

#include <numeric>
#include <string>

namespace {

using Stream = platform::ConsoleServices::Stream;

constexpr std::size_t kLineBreak = 2;

std::vector<Text> LinesOf(const Text& text)
{
    std::vector<Text> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find(u"\r\n"); end != Text::npos; end = text.find(u"\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + kLineBreak;
    }
    lines.push_back(text.substr(start));
    return lines;
}

Text LeftOut(std::size_t count)
{
    const std::string number = std::to_string(count);
    return Text(number.begin(), number.end()) +
           (count == 1 ? u" more line was left out." : u" more lines were left out.");
}

bool WriteLines(Stream stream, const std::vector<Text>& lines)
{
    auto& console = platform::Console();
    std::string bytes;
    for (const Text& line : lines) {
        bytes += console.ToConsoleText(line) + "\r\n";
    }
    return console.Write(stream, bytes);
}

} // namespace

std::vector<Text> ConsoleOutput::Capped(const std::vector<Text>& lines, std::size_t mostCharacters)
{
    std::size_t used =
        std::accumulate(lines.begin(), lines.end(), std::size_t{0},
                        [](std::size_t sum, const Text& line) { return sum + line.size() + kLineBreak; });
    if (used <= mostCharacters) {
        return lines;
    }
    // As many lines as leave room for the one that counts the rest.
    std::vector<Text> kept;
    used = 0;
    for (const Text& line : lines) {
        const std::size_t wouldUse = used + line.size() + kLineBreak;
        if (wouldUse + LeftOut(lines.size() - kept.size() - 1).size() + kLineBreak > mostCharacters) {
            break;
        }
        kept.push_back(line);
        used = wouldUse;
    }
    kept.push_back(LeftOut(lines.size() - kept.size()));
    return kept;
}

bool ConsoleOutput::WriteOutcome(const Text& text)
{
    return WriteLines(Stream::Output, Capped(LinesOf(text), kMostCharacters));
}

void ConsoleOutput::WriteWarning(const Text& text)
{
    WriteLines(Stream::Error, LinesOf(text));
}

void ConsoleOutput::WriteProgress(const Text& line)
{
    if (platform::Console().IsConsole(Stream::Error)) {
        WriteLines(Stream::Error, {line});
    }
}
