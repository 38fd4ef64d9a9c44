#include "run/ResetEvent.h"

#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "run/Outcome.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array kResetEndings = {kExitSuccess, kExitOutlookRuns, kExitNotFullyReset, kExitNotLoaded,
                                      kExitAnotherCopy};
constexpr std::array kRestoreEndings = {kExitSuccess,     kExitOutlookRuns,      kExitNotFullyReset,
                                        kExitAnotherCopy, kExitBackupUnreadable, kExitNotABackup};

template <std::size_t N>
bool IsOneOf(const std::array<int, N>& endings, int exitCode)
{
    return std::find(endings.begin(), endings.end(), exitCode) != endings.end();
}

} // namespace

std::optional<std::uint32_t> ResetEvent::IdOf(Command command, int exitCode) noexcept
{
    if (command == Command::Reset ? !IsOneOf(kResetEndings, exitCode) : !IsOneOf(kRestoreEndings, exitCode)) {
        return std::nullopt;
    }
    return (command == Command::Reset ? 1000U : 1100U) + static_cast<std::uint32_t>(exitCode);
}

std::uint16_t ResetEvent::TypeOf(Command command, int exitCode) noexcept
{
    if (exitCode == kExitSuccess) {
        return platform::kEventlogInformationType;
    }
    const bool refused = exitCode == kExitOutlookRuns || exitCode == kExitAnotherCopy;
    const bool notLoaded = command == Command::Reset && exitCode == kExitNotLoaded;
    return refused || notLoaded ? platform::kEventlogWarningType : platform::kEventlogErrorType;
}

std::optional<Text> ResetEvent::Write(std::uint32_t id, std::uint16_t type, const Text& text, const std::string& json)
{
    auto& log = platform::EventLog();
    const platform::UniqueEventSourceHandle source(log.RegisterEventSourceA(kSource));
    if (!source) {
        return Text(u"The Application log could not be opened for this run's event");
    }
    if (!log.ReportEventA(source.Get(), type, id, {ToAnsi(text), json})) {
        return Text(u"This run's event could not be written to the Application log");
    }
    return std::nullopt;
}
