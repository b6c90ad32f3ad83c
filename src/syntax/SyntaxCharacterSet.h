#pragma once
// A set of UTF-16 code units, tested one unit at a time without allocating.
// ASCII is a bitmap; the rest is a sorted list of ranges.

#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>

class SyntaxXMLNode;

class SyntaxCharacterSet
{
public:
    SyntaxCharacterSet() = default;

    bool contains(char16_t c) const
    {
        if (c < 128)
            return (m_ascii[c >> 6] >> (c & 63)) & 1;
        // Ranges are few; a binary search keeps large sets cheap.
        qsizetype lo = 0, hi = m_ranges.size();
        while (lo < hi) {
            const qsizetype mid = (lo + hi) / 2;
            if (c < m_ranges[mid].first)
                hi = mid;
            else if (c > m_ranges[mid].second)
                lo = mid + 1;
            else
                return true;
        }
        return false;
    }
    bool isEmpty() const { return m_ascii[0] == 0 && m_ascii[1] == 0 && m_ranges.isEmpty(); }

    /// Reads a character-set element: the union of its "characters", "whitespace",
    /// "newline", "alphanumeric", "letters" and "any" children, less its "exclude"
    /// children (read the same way).
    static SyntaxCharacterSet fromNode(const SyntaxXMLNode& node);
    /// The set of the given characters (tests and built-in sets).
    static SyntaxCharacterSet fromString(const QString& characters);

    static bool isWhitespaceOrNewline(char16_t c);
    static bool isNewline(char16_t c);
    static bool isLetter(char16_t c);
    static bool isAlphanumeric(char16_t c);

private:
    class Builder;
    std::array<quint64, 2> m_ascii { 0, 0 };
    QList<std::pair<char16_t, char16_t>> m_ranges;
};
