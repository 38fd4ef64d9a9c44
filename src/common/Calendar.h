#pragma once

#include <cstdint>

// Days of the proleptic Gregorian calendar counted from 1970-01-01, as the
// event log counts its seconds: the C library's time functions would bring
// its time-zone machinery into every exe.
struct CalendarDate {
    std::int32_t year;
    std::uint32_t month;
    std::uint32_t day;
};

constexpr std::int64_t DaysSince1970(CalendarDate date) noexcept
{
    const std::int32_t year = date.year - (date.month <= 2 ? 1 : 0);
    const std::int32_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<std::uint32_t>(year - era * 400);
    const std::uint32_t dayOfYear = (153 * (date.month > 2 ? date.month - 3 : date.month + 9) + 2) / 5 + date.day - 1;
    const std::uint32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

constexpr CalendarDate DateOfDay(std::int64_t daysSince1970) noexcept
{
    const std::int64_t days = daysSince1970 + 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<std::uint32_t>(days - era * 146097);
    const std::uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint32_t shifted = (5 * dayOfYear + 2) / 153;
    const std::uint32_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    const auto year =
        static_cast<std::int32_t>(static_cast<std::int64_t>(yearOfEra) + era * 400) + (month <= 2 ? 1 : 0);
    return {year, month, dayOfYear - (153 * shifted + 2) / 5 + 1};
}
