#pragma once
// Basic value types shared by the whole system.

#include <QtGlobal>
#include <limits>

namespace kit {

/// "Not found" marker for locations and indexes.
inline constexpr qsizetype NotFound = std::numeric_limits<qsizetype>::max();

/// A run of characters: its first index and its length (UTF-16 units).
struct Range {
    qsizetype location = NotFound;
    qsizetype length = 0;

    constexpr Range() = default;
    constexpr Range(qsizetype loc, qsizetype len) : location(loc), length(len) {}

    constexpr qsizetype end() const { return location + length; }
    constexpr bool isNotFound() const { return location == NotFound; }
    constexpr bool contains(qsizetype index) const { return index >= location && index < end(); }
    constexpr bool operator==(const Range&) const = default;

    /// The overlap of two ranges; a zero-length range at the larger start when they don't meet.
    static constexpr Range intersection(Range a, Range b)
    {
        const qsizetype start = a.location > b.location ? a.location : b.location;
        const qsizetype stop = a.end() < b.end() ? a.end() : b.end();
        if (stop < start)
            return Range(0, 0);
        return Range(start, stop - start);
    }
    static constexpr Range unionOf(Range a, Range b)
    {
        const qsizetype start = a.location < b.location ? a.location : b.location;
        const qsizetype stop = a.end() > b.end() ? a.end() : b.end();
        return Range(start, stop - start);
    }
};

/// Text encodings keep the platform's numbers (1 ASCII, 4 UTF-8, 10 UTF-16 ...).
using StringEncoding = quint64;
inline constexpr StringEncoding NoEncoding = 4294967295ULL;

} // namespace kit
