#pragma once

#include "common/Checked.h"
#include "common/RuntimeError.h"

#include <cstdint>
#include <utility>
#include <vector>

// An ordered list addressed from position 1, whose out-of-range positions
// raise "Subscript out of range" rather than reading past the end.
template <typename T>
class Collection {
public:
    void Add(T item)
    {
        if (mItems.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            throw RuntimeError::Overflow();
        }
        mItems.push_back(std::move(item));
    }

    const T& Item(std::int32_t position) const { return mItems[Offset(position)]; }

    std::int32_t Count() const noexcept { return static_cast<std::int32_t>(mItems.size()); }

    void Remove(std::int32_t position) { mItems.erase(mItems.begin() + static_cast<std::ptrdiff_t>(Offset(position))); }

private:
    std::size_t Offset(std::int32_t position) const
    {
        if (position < 1 || position > Count()) {
            throw RuntimeError::SubscriptOutOfRange();
        }
        return static_cast<std::size_t>(position - 1);
    }

    std::vector<T> mItems;
};
