#include "console/ConsoleOutput.h"

#include "platform/Platform.h"

#include <algorithm>
#include <iterator>
#include <numeric>
#include <optional>
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
    return TextOfAscii(std::to_string(count)) +
           (count == 1 ? u" more line was left out." : u" more lines were left out.");
}

// The console's code pages have no ellipsis character: three full stops.
Text MoreLikeThese(std::size_t count)
{
    return u"- ... and " + TextOfAscii(std::to_string(count)) + u" more like these";
}

std::size_t CharactersOf(const std::vector<Outcome::TextLine>& lines)
{
    return std::accumulate(lines.begin(), lines.end(), std::size_t{0},
                           [](std::size_t sum, const Outcome::TextLine& line) { return sum + line.text.size() + 2; });
}

// A run of lines of one code: where it starts, and how many.
struct Run {
    std::size_t start;
    std::size_t length;
};

// The longest run of two lines or more, the first of equal ones; none where there is none.
std::optional<Run> LongestRun(const std::vector<Outcome::TextLine>& lines)
{
    std::optional<Run> longest;
    for (std::size_t start = 0; start < lines.size();) {
        std::size_t end = start + 1;
        while (!lines[start].code.empty() && end < lines.size() && lines[end].code == lines[start].code) {
            ++end;
        }
        if (end - start > 1 && (!longest || end - start > longest->length)) {
            longest = Run{start, end - start};
        }
        start = end;
    }
    return longest;
}

// The run cut to as many of its first lines as fit, at least one, and a line that counts the rest.
void Shorten(std::vector<Outcome::TextLine>& lines, Run run, std::size_t mostCharacters)
{
    std::size_t keep = run.length - 1;
    for (;; --keep) {
        std::vector<Outcome::TextLine> shortened(lines.begin(), lines.begin() + static_cast<long>(run.start + keep));
        // Of a code of its own: never part of a run again, and left out with the lines before it.
        shortened.push_back({MoreLikeThese(run.length - keep), lines[run.start].code + "+more"});
        shortened.insert(shortened.end(), lines.begin() + static_cast<long>(run.start + run.length), lines.end());
        if (keep == 1 || CharactersOf(shortened) <= mostCharacters) {
            lines = std::move(shortened);
            return;
        }
    }
}

// The last resort: lines left out before those that follow the last line
// with a code (what keeps Outlook out, the advice, the verdict), the last
// that stays saying how many; where even those do not fit, from the very end.
std::vector<Text> LeftOutFromTheEnd(const std::vector<Outcome::TextLine>& lines, std::size_t mostCharacters)
{
    std::size_t tail = lines.size();
    while (tail > 1 && lines[tail - 1].code.empty()) {
        --tail;
    }
    std::vector<Outcome::TextLine> end(lines.begin() + static_cast<long>(tail), lines.end());
    if (CharactersOf(end) + LeftOut(lines.size()).size() + kLineBreak > mostCharacters) {
        end.clear();
        tail = lines.size();
    }
    const std::size_t room = mostCharacters - CharactersOf(end);
    std::vector<Text> kept;
    std::size_t used = 0;
    for (std::size_t i = 0; i < tail; ++i) {
        const std::size_t wouldUse = used + lines[i].text.size() + kLineBreak;
        if (wouldUse + LeftOut(tail - i - 1).size() + kLineBreak > room) {
            kept.push_back(LeftOut(tail - i));
            break;
        }
        kept.push_back(lines[i].text);
        used = wouldUse;
    }
    std::transform(end.begin(), end.end(), std::back_inserter(kept),
                   [](const Outcome::TextLine& line) { return line.text; });
    return kept;
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

std::vector<Text> ConsoleOutput::Capped(const std::vector<Outcome::TextLine>& lines, std::size_t mostCharacters)
{
    std::vector<Outcome::TextLine> shortened = lines;
    while (CharactersOf(shortened) > mostCharacters) {
        const auto run = LongestRun(shortened);
        if (!run) {
            return LeftOutFromTheEnd(shortened, mostCharacters);
        }
        Shorten(shortened, *run, mostCharacters);
    }
    std::vector<Text> texts;
    std::transform(shortened.begin(), shortened.end(), std::back_inserter(texts),
                   [](const Outcome::TextLine& line) { return line.text; });
    return texts;
}

bool ConsoleOutput::WriteOutcome(const Outcome& outcome)
{
    std::vector<Outcome::TextLine> lines = outcome.lines;
    if (outcome.noLog) {
        // Of no code: always kept.
        lines.push_back({Text(), {}});
        lines.push_back({outcome.noLog->text, {}});
    }
    return WriteLines(Stream::Output, Capped(lines, kMostCharacters));
}

bool ConsoleOutput::WriteText(const Text& text)
{
    const std::vector<Text> texts = LinesOf(text);
    std::vector<Outcome::TextLine> lines;
    // Every line its own kind: none is a run to shorten.
    std::transform(texts.begin(), texts.end(), std::back_inserter(lines), [&lines](const Text& line) {
        return Outcome::TextLine{line, "line" + std::to_string(lines.size())};
    });
    return WriteLines(Stream::Output, Capped(lines, kMostCharacters));
}

bool ConsoleOutput::WriteLine(const std::string& ascii)
{
    return platform::Console().Write(Stream::Output, ascii + "\r\n");
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
