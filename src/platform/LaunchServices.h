#pragma once

#include "platform/Handle.h"

#include <optional>
#include <string>

namespace platform {

// Starting outside programs and reading the environment.
class LaunchServices {
public:
    virtual ~LaunchServices() = default;

    // No value when the variable is not set.
    virtual std::optional<std::string> GetEnvironmentVariableA(const std::string& name) = 0;

    // The text with each %variable% replaced by its value; the text
    // unchanged when the call fails.
    virtual std::string ExpandEnvironmentStringsA(const std::string& text) = 0;

    // How the system folder's name is taken by a launch: a 32-bit program on
    // 64-bit Windows reaches the 64-bit one only with WOW64's file-system
    // redirection switched off.
    enum class SystemFolder { AsRedirected, Native };

    // Where a started program looks for the libraries it loads: its current
    // folder, and the folders of its PATH. Empty for this program's own.
    struct Place {
        std::string currentFolder;
        std::optional<std::string> path;
    };

    // Starts applicationName with commandLine, window hidden, and returns at
    // once without waiting: the handle of the started process, which the
    // caller closes, or 0 when the program could not be started.
    virtual Handle LaunchHidden(const std::string& applicationName, const std::string& commandLine,
                                SystemFolder systemFolder, const Place& place) = 0;
};

} // namespace platform
