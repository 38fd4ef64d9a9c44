#include "console/ConsoleProgram.h"

#include "common/RuntimeError.h"
#include "console/ConsoleOutput.h"
#include "console/ConsoleView.h"
#include "reset/ResetCheck.h"
#include "reset/ResetSteps.h"

#include <algorithm>
#include <cctype>

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
                    u"Usage: AddinsResetCmd check | reset | help\r\n"
                    u"\r\n"
                    u"  check  Tells what a reset would change, and what keeps Outlook from loading\r\n"
                    u"         the add-in. Changes nothing; runs while Outlook runs.\r\n"
                    u"         Exit code 0: no reset is needed. 1: a reset is needed.\r\n"
                    u"  reset  Resets the add-in as the window's Reset button does, and prints what\r\n"
                    u"         the window's last box would say. Refuses while Outlook runs.\r\n"
                    u"         Exit code 0: reset. 1: Outlook runs. 2: not fully reset.\r\n"
                    u"         3: reset, but Outlook will not load the add-in.\r\n"
                    u"         4: another copy is resetting.\r\n"
                    u"  help   Shows this text; so do /?, -h and --help.\r\n"
                    u"\r\n"
                    u"Run as LocalSystem, both work on the settings of every signed-in user.\r\n"
                    u"Exit code 87: an argument this program does not know. Any other: the\r\n"
                    u"number of a run-time error.";

} // namespace

ConsoleProgram::Command ConsoleProgram::CommandOf(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1) {
        return Command::Invalid;
    }
    const std::string argument = Lower(arguments.front());
    if (argument == "check") {
        return Command::Check;
    }
    if (argument == "reset") {
        return Command::Reset;
    }
    if (argument == "help" || argument == "/?" || argument == "-h" || argument == "--help") {
        return Command::Help;
    }
    return Command::Invalid;
}

const Text& ConsoleProgram::Usage()
{
    return kUsage;
}

int ConsoleProgram::Run() noexcept
{
    try {
        return RunCommand(CommandOf(mArguments));
    } catch (...) {
        // As the window's box: the error's report, and its number as the exit code.
        const RuntimeError error = RuntimeError::OfCaughtException();
        try {
            ConsoleOutput::WriteOutcome(error.Report());
        } catch (...) {
            // Not even the report could be written: the exit code still tells.
        }
        return error.ExitCode();
    }
}

int ConsoleProgram::RunCommand(Command command)
{
    ConsoleView view;
    switch (command) {
    case Command::Check:
        return ResetCheck(view, Whose::EveryLoadedUserAsSystem).Run();
    case Command::Reset:
        return ResetSteps(view, Whose::EveryLoadedUserAsSystem).Run();
    case Command::Help:
        ConsoleOutput::WriteOutcome(kUsage);
        return 0;
    case Command::Invalid:
        break;
    }
    ConsoleOutput::WriteWarning(kUsage);
    return kExitInvalidArgument;
}
