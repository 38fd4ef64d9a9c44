#pragma once

#include "platform/MessageServices.h"

// The boxes of the units the console program shares with the window, such
// as a folder that could not be listed to its end: warnings on standard
// error, with their title, and the run goes on. With --json, standard
// error stays empty.
class ConsoleMessages final : public platform::MessageServices {
public:
    explicit ConsoleMessages(bool quiet) : mQuiet(quiet) {}

    std::int32_t MessageBoxA(platform::Handle owner, const std::string& text, const std::string& caption,
                             std::uint32_t type) override;
    platform::Handle GetActiveWindow() override { return 0; }

private:
    bool mQuiet;
};
