#include "console/JsonAnswer.h"

#include "scope/AppTexts.h"

#include <algorithm>
#include <vector>

namespace {

std::string Number(std::uint32_t number)
{
    return std::to_string(number);
}

std::string Entry(const RunReport::Line& line)
{
    std::string entry = "{\"code\":" + JsonAnswer::Quoted(TextOfAscii(line.code));
    if (!line.user.empty()) {
        entry += ",\"user\":" + JsonAnswer::Quoted(line.user);
    }
    if (!line.file.empty()) {
        entry += ",\"file\":" + JsonAnswer::Quoted(line.file);
    }
    if (line.loadBehavior) {
        entry += ",\"loadBehavior\":" + Number(*line.loadBehavior);
    }
    if (line.error) {
        entry += ",\"error\":" + Number(*line.error);
    }
    return entry + "}";
}

std::string Array(const std::vector<std::string>& entries)
{
    std::string array = "[";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        array += (i == 0 ? "" : ",") + entries[i];
    }
    return array + "]";
}

// What every answer begins with: the command, how it ended and what it was about.
std::string Head(const std::string& command, int exitCode, const Text& edition, const std::vector<Text>& users)
{
    std::vector<std::string> names(users.size());
    std::transform(users.begin(), users.end(), names.begin(),
                   [](const Text& user) { return JsonAnswer::Quoted(user); });
    return "{\"command\":" + JsonAnswer::Quoted(TextOfAscii(command)) + ",\"exitCode\":" + std::to_string(exitCode) +
           ",\"version\":" + JsonAnswer::Quoted(kVersion) +
           ",\"edition\":" + (edition.empty() ? std::string("null") : JsonAnswer::Quoted(edition)) +
           ",\"users\":" + Array(names);
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

std::string JsonAnswer::Of(const std::string& command, const Outcome& outcome, std::size_t mostCharacters)
{
    std::string head = Head(command, outcome.exitCode, outcome.edition, outcome.users);
    if (outcome.needsReset) {
        head += std::string(",\"needsReset\":") + (*outcome.needsReset ? "true" : "false");
    }
    head += ",\"log\":" + (outcome.log ? Quoted(*outcome.log) : std::string("null"));
    if (outcome.noLog) {
        head += ",\"logMissing\":" + Entry(*outcome.noLog);
    }

    std::vector<std::string> problems(outcome.problems.size());
    std::vector<std::string> blockers(outcome.blockers.size());
    std::transform(outcome.problems.begin(), outcome.problems.end(), problems.begin(), Entry);
    std::transform(outcome.blockers.begin(), outcome.blockers.end(), blockers.begin(), Entry);
    const auto whole = [&](std::size_t more) {
        return head + ",\"problems\":" + Array(problems) + ",\"blockers\":" + Array(blockers) +
               (more == 0 ? std::string() : ",\"more\":" + std::to_string(more)) + "}";
    };
    // The problems go from the last, then blockers, and only as far as they must.
    std::size_t more = 0;
    for (auto* entries : {&problems, &blockers}) {
        while (whole(more).size() > mostCharacters && !entries->empty()) {
            entries->pop_back();
            ++more;
        }
    }
    return whole(more);
}

std::string JsonAnswer::OfRunTimeError(const std::string& command, int number, const Text& description)
{
    return Head(command, number, Text(), {}) + R"(,"log":null,"problems":[{"code":"runTimeError","error":)" +
           std::to_string(number) + R"(,"description":)" + Quoted(description) + R"(}],"blockers":[]})";
}
