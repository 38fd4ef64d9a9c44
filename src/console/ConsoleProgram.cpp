#include "console/ConsoleProgram.h"

#include "common/RuntimeError.h"
#include "console/ConsoleOutput.h"
#include "console/ConsoleView.h"
#include "run/JsonAnswer.h"
#include "run/ResetCheck.h"
#include "run/ResetSteps.h"
#include "run/RestoreSteps.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

// Arguments compare without case, as Windows users type them.
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const Text kUsage = u"Kestrin Software Add-Ins Reset for administrators\r\n"
                    u"\r\n"
                    u"Usage: AddinsResetCmd check | reset | restore [FILE] [--json] | help\r\n"
                    u"\r\n"
                    u"  check  Tells what a reset would change, and what keeps Outlook from loading\r\n"
                    u"         the add-in. Changes nothing; runs while Outlook runs.\r\n"
                    u"         Exit code 0: no reset is needed, or the add-in is not installed.\r\n"
                    u"         1: a reset is needed.\r\n"
                    u"  reset  Resets the add-in as the window's Reset button does, and prints what\r\n"
                    u"         the window's last box would say. Refuses while Outlook runs.\r\n"
                    u"         Exit code 0: reset. 1: Outlook runs. 2: not fully reset.\r\n"
                    u"         3: reset, but Outlook will not load the add-in.\r\n"
                    u"         4: another copy is resetting. 6: the add-in is not installed.\r\n"
                    u"         Each reset is logged, and the registry it changes saved, in\r\n"
                    u"         %ProgramData%\\Kestrin Software\\Add-Ins Reset (run without an\r\n"
                    u"         administrator's rights: in %TEMP%).\r\n"
                    u"  restore  Puts back, as it was, what a reset changed: the newest backup in\r\n"
                    u"         that folder, or FILE, which must be one of them. Each key goes into the\r\n"
                    u"         view its name gives, whatever the bitness of the program that starts\r\n"
                    u"         this one; only the add-in's keys are written. Refuses while Outlook\r\n"
                    u"         runs; saves what it changes first, so that a restore can be undone.\r\n"
                    u"         Exit code 0: restored. 1: Outlook runs. 2: not all restored.\r\n"
                    u"         4: another copy is resetting. 13: the file is no reset's backup.\r\n"
                    u"         87: FILE is none of the folder's backups.\r\n"
                    u"  --json Answers with one line of JSON instead of text (also /json).\r\n"
                    u"  help   Shows this text; so do /?, -h and --help.\r\n"
                    u"\r\n"
                    u"Run as LocalSystem, each command works on the settings of every user whose\r\n"
                    u"hive is loaded.\r\n"
                    u"Exit code 87: an argument this program does not know. Any other: the\r\n"
                    u"number of a run-time error.";

bool IsJsonSwitch(const std::string& argument)
{
    return Lower(argument) == "--json" || Lower(argument) == "/json";
}

} // namespace

ConsoleProgram::Command ConsoleProgram::CommandOf(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words;
    std::copy_if(arguments.begin(), arguments.end(), std::back_inserter(words),
                 [](const std::string& argument) { return !IsJsonSwitch(argument); });
    if (words.empty() || arguments.size() - words.size() > 1) {
        return Command::Invalid;
    }
    const std::string argument = Lower(words.front());
    if (argument == "restore") {
        return words.size() <= 2 ? Command::Restore : Command::Invalid;
    }
    if (words.size() != 1) {
        return Command::Invalid;
    }
    if (argument == "check") {
        return Command::Check;
    }
    if (argument == "reset") {
        return Command::Reset;
    }
    if (argument == "help" || argument == "/?" || argument == "-h" || argument == "--help") {
        return words.size() == arguments.size() ? Command::Help : Command::Invalid;
    }
    return Command::Invalid;
}

std::optional<std::string> ConsoleProgram::BackupOf(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words;
    std::copy_if(arguments.begin(), arguments.end(), std::back_inserter(words),
                 [](const std::string& argument) { return !IsJsonSwitch(argument); });
    return words.size() == 2 ? std::optional(words[1]) : std::nullopt;
}

bool ConsoleProgram::WantsJson(const std::vector<std::string>& arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), IsJsonSwitch);
}

const Text& ConsoleProgram::Usage()
{
    return kUsage;
}

int ConsoleProgram::Run() noexcept
{
    const Command command = CommandOf(mArguments);
    const bool json = WantsJson(mArguments) && command != Command::Invalid;
    try {
        return RunCommand(command, json);
    } catch (...) {
        // As the window's box: the error's report, and its number as the exit code.
        const RuntimeError error = RuntimeError::OfCaughtException();
        try {
            if (json) {
                ConsoleOutput::WriteLine(JsonAnswer::OfRunTimeError(command == Command::Check     ? "check"
                                                                    : command == Command::Restore ? "restore"
                                                                                                  : "reset",
                                                                    error.ExitCode(), error.Description()));
            } else {
                ConsoleOutput::WriteText(error.Report());
            }
        } catch (...) {
            // Not even the report could be written: the exit code still tells.
        }
        return error.ExitCode();
    }
}

int ConsoleProgram::RunCommand(Command command, bool json)
{
    switch (command) {
    case Command::Check: {
        ConsoleView view("check", json);
        return ResetCheck(view, Whose::EveryLoadedUserAsSystem).Run();
    }
    case Command::Reset: {
        ConsoleView view("reset", json);
        return ResetSteps(view, Whose::EveryLoadedUserAsSystem, ResetSteps::Program::Console).Run();
    }
    case Command::Restore: {
        ConsoleView view("restore", json);
        return RestoreSteps(view, BackupOf(mArguments)).Run();
    }
    case Command::Help:
        ConsoleOutput::WriteText(kUsage);
        return 0;
    case Command::Invalid:
        break;
    }
    ConsoleOutput::WriteWarning(kUsage);
    return kExitInvalidArgument;
}
