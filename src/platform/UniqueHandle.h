#pragma once

#include "platform/Handle.h"

#include <utility>

namespace platform {

// Owns one handle and closes it in exactly one place. Traits give the value
// that means "no handle" and the call that closes a valid one; traits that
// need state to close (the function that frees) come with the handle.
template <typename Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Value value, Traits traits = Traits()) noexcept : mValue(value), mTraits(traits) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : mValue(other.Release()), mTraits(other.mTraits) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        Reset(other.Release());
        mTraits = other.mTraits;
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Value Get() const noexcept { return mValue; }
    explicit operator bool() const noexcept { return Traits::IsValid(mValue); }

    Value Release() noexcept { return std::exchange(mValue, Traits::Invalid()); }

    void Reset(Value value = Traits::Invalid()) noexcept
    {
        const Value old = std::exchange(mValue, value);
        if (Traits::IsValid(old)) {
            mTraits.Close(old);
        }
    }

private:
    Value mValue = Traits::Invalid();
    [[no_unique_address]] Traits mTraits{};
};

} // namespace platform
