#include "run/JsonAnswer.h"

#include "scope/AppTexts.h"

#include <algorithm>
#include <vector>

namespace {

std::string Number(std::uint32_t number)
{
    return std::to_string(number);
}

// One entry of the answer: a line, or lines the same but for their user, naming those.
struct Entry {
    RunReport::Line line;
    std::vector<Text> users;
    // How many of the users the entry names; the rest it counts.
    std::size_t named = 0;
};

std::string NamesOf(const std::vector<Text>& users, std::size_t named, const std::string& leftOut);

std::string TextOf(const Entry& entry)
{
    const RunReport::Line& line = entry.line;
    std::string text = "{\"code\":" + JsonAnswer::Quoted(TextOfAscii(line.code));
    if (entry.users.size() == 1) {
        text += ",\"user\":" + JsonAnswer::Quoted(entry.users.front());
    } else if (entry.users.size() > 1) {
        text += NamesOf(entry.users, entry.named, "usersLeftOut");
    }
    if (!line.file.empty()) {
        text += ",\"file\":" + JsonAnswer::Quoted(line.file);
    }
    if (line.loadBehavior) {
        text += ",\"loadBehavior\":" + Number(*line.loadBehavior);
    }
    if (line.error) {
        text += ",\"error\":" + Number(*line.error);
    }
    if (!line.moment.empty()) {
        text += ",\"moment\":" + JsonAnswer::Quoted(TextOfAscii(line.moment));
    }
    if (line.takenMs) {
        text += ",\"takenMs\":" + Number(*line.takenMs);
    }
    if (line.thresholdMs) {
        text += ",\"thresholdMs\":" + Number(*line.thresholdMs);
    }
    if (!line.when.empty()) {
        text += ",\"when\":" + JsonAnswer::Quoted(line.when);
    }
    return text + "}";
}

// Lines the same but for their users are one entry, in the order the first of each came.
std::vector<Entry> EntriesOf(const std::vector<RunReport::Line>& lines)
{
    std::vector<Entry> entries;
    for (const RunReport::Line& line : lines) {
        const auto same = std::find_if(entries.begin(), entries.end(), [&](const Entry& there) {
            const RunReport::Line& other = there.line;
            return !line.user.empty() && !there.users.empty() && other.code == line.code && other.file == line.file &&
                   other.loadBehavior == line.loadBehavior && other.error == line.error &&
                   other.moment == line.moment && other.takenMs == line.takenMs &&
                   other.thresholdMs == line.thresholdMs && other.when == line.when;
        });
        if (same != entries.end()) {
            same->users.push_back(line.user);
            same->named = same->users.size();
            continue;
        }
        entries.push_back({line, line.user.empty() ? std::vector<Text>{} : std::vector<Text>{line.user}, 1});
    }
    return entries;
}

std::string Array(const std::vector<std::string>& entries)
{
    std::string array = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        array += (i == 0 ? "" : ",") + entries[i];
    }
    return array + "]";
}

// ,"users":[...] of the first names, and how many are left out where any are.
std::string NamesOf(const std::vector<Text>& users, std::size_t named, const std::string& leftOut)
{
    std::vector<std::string> names(std::min(named, users.size()));
    std::transform(users.begin(), users.begin() + static_cast<std::ptrdiff_t>(names.size()), names.begin(),
                   [](const Text& user) { return JsonAnswer::Quoted(user); });
    return ",\"users\":" + Array(names) +
           (names.size() < users.size() ? ",\"" + leftOut + "\":" + std::to_string(users.size() - names.size())
                                        : std::string());
}

// What every answer begins with: the command, how it ended and what it was about.
std::string Head(const std::string& command, int exitCode, const Text& edition, const std::vector<Text>& users,
                 std::size_t named)
{
    return "{\"command\":" + JsonAnswer::Quoted(TextOfAscii(command)) + ",\"exitCode\":" + std::to_string(exitCode) +
           ",\"version\":" + JsonAnswer::Quoted(kVersion) +
           ",\"edition\":" + (edition.empty() ? std::string("null") : JsonAnswer::Quoted(edition)) +
           NamesOf(users, named, "usersLeftOut");
}

} // namespace

std::string JsonAnswer::Quoted(std::u16string_view text)
{
    std::string quoted = "\"";
    for (const char16_t c : text) {
        if (c == u'"' || c == u'\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            quoted += static_cast<char>(c);
        } else {
            quoted += "\\u" + PaddedNumber(c, 4, 16);
        }
    }
    return quoted + "\"";
}

// What must fit gives way in this order: the names of the run's users,
// then those an entry names beyond its first, then the entries from the
// last, problems first; every blocker stays while any other entry does.
std::string JsonAnswer::Of(const std::string& command, const Outcome& outcome, std::size_t mostCharacters)
{
    std::vector<Entry> problems = EntriesOf(outcome.problems);
    std::vector<Entry> blockers = EntriesOf(outcome.blockers);
    std::vector<Entry> reasons = EntriesOf(outcome.reasons);
    std::size_t named = outcome.users.size();
    std::size_t more = 0;
    const auto whole = [&] {
        std::string text = Head(command, outcome.exitCode, outcome.edition, outcome.users, named);
        if (outcome.needsReset) {
            text += std::string(",\"needsReset\":") + (*outcome.needsReset ? "true" : "false");
        }
        text += ",\"log\":" + (outcome.log ? Quoted(*outcome.log) : std::string("null"));
        if (outcome.noLog) {
            text += ",\"logMissing\":" + TextOf({*outcome.noLog, {}, 0});
        }
        for (const auto& [name, entries] :
             {std::pair{",\"problems\":", &problems}, std::pair{",\"blockers\":", &blockers},
              std::pair{",\"reasons\":", &reasons}}) {
            std::vector<std::string> texts(entries->size());
            std::transform(entries->begin(), entries->end(), texts.begin(), TextOf);
            text += name + Array(texts);
        }
        return text + (more == 0 ? std::string() : ",\"more\":" + std::to_string(more)) + "}";
    };
    while (whole().size() > mostCharacters && named > 0) {
        --named;
    }
    for (auto* entries : {&problems, &blockers, &reasons}) {
        for (Entry& entry : *entries) {
            while (whole().size() > mostCharacters && entry.named > 1) {
                --entry.named;
            }
        }
    }
    for (auto* entries : {&problems, &blockers, &reasons}) {
        while (whole().size() > mostCharacters && !entries->empty()) {
            entries->pop_back();
            ++more;
        }
    }
    return whole();
}

std::string JsonAnswer::OfRunTimeError(const std::string& command, int number, const Text& description)
{
    return Head(command, number, Text(), {}, 0) + R"(,"log":null,"problems":[{"code":"runTimeError","error":)" +
           std::to_string(number) + R"(,"description":)" + Quoted(description) + R"(}],"blockers":[],"reasons":[]})";
}
