#pragma once

#include <cstdint>

// The program's 16-bit truth value: True is -1 and False is 0, so that the
// numbers a caller sees never depend on the compiler's bool.
class Boolean {
public:
    constexpr Boolean() noexcept = default;
    constexpr explicit Boolean(bool value) noexcept : mValue(value ? -1 : 0) {}

    constexpr explicit operator bool() const noexcept { return mValue != 0; }
    constexpr std::int16_t Value() const noexcept { return mValue; }
    constexpr Boolean operator!() const noexcept { return Boolean(mValue == 0); }

    friend constexpr bool operator==(Boolean, Boolean) noexcept = default;

private:
    std::int16_t mValue = 0;
};

inline constexpr Boolean True{true};
inline constexpr Boolean False{false};

static_assert(sizeof(Boolean) == 2);
static_assert(True.Value() == -1 && False.Value() == 0);
