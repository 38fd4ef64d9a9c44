#pragma once

#include "common/Text.h"

#include <optional>
#include <string>
#include <vector>

// The administrators' program: "check" reads what a reset would change,
// "reset" runs the window's reset without a window, "restore" puts a reset's backup back. Run as LocalSystem, as
// fleet tools run it, each works on the settings of every user whose hive is loaded.
// With --json (or /json) each answers with one line of JSON instead of text.
class ConsoleProgram {
public:
    enum class Command { Check, Reset, Restore, Help, Invalid };

    // The system's "invalid parameter": an argument the program does not know.
    static constexpr int kExitInvalidArgument = 87;

    // The arguments after the program's name.
    explicit ConsoleProgram(std::vector<std::string> arguments) : mArguments(std::move(arguments)) {}

    // Runs the command; returns the program's exit code.
    int Run() noexcept;

    static Command CommandOf(const std::vector<std::string>& arguments);
    // The backup a restore names, where it names one.
    static std::optional<std::string> BackupOf(const std::vector<std::string>& arguments);
    // True where the arguments ask for the JSON answer, also before the command.
    static bool WantsJson(const std::vector<std::string>& arguments);
    static const Text& Usage();

private:
    int RunCommand(Command command, bool json);

    std::vector<std::string> mArguments;
};
