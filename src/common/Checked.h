#pragma once

#include "common/RuntimeError.h"

#include <cstdint>
#include <limits>

// A signed counter that raises "Overflow" instead of wrapping.
template <typename T>
class Checked {
public:
    constexpr Checked() noexcept = default;
    // Implicit on purpose: a counter is written and compared like the number it holds.
    // cppcheck-suppress noExplicitConstructor
    constexpr Checked(T value) noexcept : mValue(value) {}

    constexpr T Value() const noexcept { return mValue; }
    constexpr operator T() const noexcept { return mValue; }

    Checked& operator+=(T delta)
    {
        T result{};
        if (__builtin_add_overflow(mValue, delta, &result)) {
            throw RuntimeError::Overflow();
        }
        mValue = result;
        return *this;
    }

    Checked& operator++() { return *this += 1; }

    Checked& operator*=(T factor)
    {
        T result{};
        if (__builtin_mul_overflow(mValue, factor, &result)) {
            throw RuntimeError::Overflow();
        }
        mValue = result;
        return *this;
    }

private:
    T mValue = 0;
};

using Integer = Checked<std::int16_t>;
using Long = Checked<std::int32_t>;
