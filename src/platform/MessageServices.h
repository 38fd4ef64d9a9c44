#pragma once

#include "platform/Handle.h"

#include <cstdint>
#include <string>

namespace platform {

// What the user must read before a run goes on: user32's modal boxes in the
// window program, lines on standard error in the console program.
class MessageServices {
public:
    virtual ~MessageServices() = default;

    virtual std::int32_t MessageBoxA(Handle owner, const std::string& text, const std::string& caption,
                                     std::uint32_t type) = 0;
    // The window a box without an owner of its own is modal to; 0 where there is none.
    virtual Handle GetActiveWindow() = 0;
};

} // namespace platform
