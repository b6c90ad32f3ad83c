#pragma once
// A text matcher of the grammar: literal values (compared without regard to
// case), a run of characters from a set, exclusions and an escape character.

#include "kit/Types.h"
#include "syntax/SyntaxCharacterSet.h"
#include "syntax/SyntaxText.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

class SyntaxXMLNode;

/// The "unlimited" marker of occurrence counts and lengths.
inline constexpr quint64 SyntaxUnlimited = std::numeric_limits<quint64>::max();

class SyntaxStructureText
{
public:
    SyntaxStructureText() = default;
    explicit SyntaxStructureText(const SyntaxXMLNode& node);

    /// Reads the children of a "values" or "exclude" element: the text of each
    /// child, whatever its name; a child without text gives the empty value.
    static QStringList readValuesNode(const SyntaxXMLNode& node);
    static SyntaxCharacterSet readCharacterSetNode(const SyntaxXMLNode& node);

    quint64 minCharLength() const { return m_minCharLength; }
    quint64 maxCharLength() const { return m_maxCharLength; }
    bool matchOutsideRange() const { return m_matchOutsideRange; }
    bool endOfContents() const { return m_endOfContents; }
    const std::optional<SyntaxCharacterSet>& characters() const { return m_characters; }
    const std::optional<QStringList>& values() const { return m_values; }
    const std::optional<QStringList>& excludeValues() const { return m_excludeValues; }
    char16_t escapeChar() const { return m_escapeChar; }
    /// An end text that closes a here-document: a line holding only the name that
    /// followed the nearest "<<<" before it (blanks may indent it).
    bool hereDocumentEnd() const { return m_hereDocumentEnd; }
    void setHereDocumentEnd(bool v)
    {
        m_hereDocumentEnd = v;
        updateEdgeFilters();
    }

    void setMinCharLength(quint64 v)
    {
        m_minCharLength = v;
        updateEdgeFilters();
    }
    void setMaxCharLength(quint64 v) { m_maxCharLength = v; }
    void setMatchOutsideRange(bool v)
    {
        m_matchOutsideRange = v;
        updateEdgeFilters();
    }
    void setEndOfContents(bool v) { m_endOfContents = v; }
    void setCharacters(std::optional<SyntaxCharacterSet> set)
    {
        m_characters = std::move(set);
        updateEdgeFilters();
    }
    void setValues(std::optional<QStringList> values);
    void setExcludeValues(std::optional<QStringList> values);
    void setEscapeChar(char16_t c) { m_escapeChar = c; }

    /// The longest value; else the character run's maximum, or 500 when unlimited.
    qsizetype maxLength() const;

    /// Length of the longest match anchored at the range's start (atEnd false) or
    /// ending at its end (atEnd true); kit::NotFound when nothing matches.
    qsizetype longestMatchInString(const SyntaxText& string, kit::Range range, bool atEnd) const
    {
        // The engine asks at nearly every character and most answers are a quick
        // no from the edge character: that much is answered here, without a call.
        if (m_first.active) {
            const qsizetype n = string.size();
            if (range.location < 0 || range.location > n)
                return kit::NotFound;
            const qsizetype length = std::clamp<qsizetype>(range.length, 0, n - range.location);
            if (length == 0)
                return kit::NotFound;
            const char16_t edge = string.at(atEnd ? range.location + length - 1 : range.location).unicode();
            if ((atEnd ? m_last : m_first).rejects(edge))
                return kit::NotFound;
        }
        return fullMatchInString(string, range, atEnd);
    }
    /// The value test alone, over the given list (lower-cased copies in `lowered`).
    qsizetype longestMatchInString(
        const SyntaxText& string, kit::Range range, const QStringList& lowered, bool atEnd) const;

private:
    // The ASCII characters a match can begin (first) or end (last) with: the colouring
    // engine asks at nearly every character, and most answers are a quick no. A
    // character outside ASCII always goes on to the full test.
    struct EdgeFilter {
        bool active = false;
        std::array<quint64, 2> bits { 0, 0 };
        void add(char16_t c) { bits[c >> 6] |= quint64(1) << (c & 63); }
        bool rejects(char16_t c) const { return active && c < 128 && !((bits[c >> 6] >> (c & 63)) & 1); }
    };
    // The values of a list by the lower-cased first (or last) character: an ASCII
    // character has a slot of its own, all others share the last one, and empty
    // values are in every slot. Indexes ascend, so the first listed still wins.
    struct ValueIndex {
        static constexpr size_t Slots = 129;
        std::vector<quint32> offsets; // Slots + 1 entries; empty when not built
        std::vector<quint32> items;
        void build(const QStringList& lowered, bool byLast);
    };
    struct ValueIndexes {
        ValueIndex byFirst;
        ValueIndex byLast;
        void build(const QStringList& lowered);
    };
    void updateEdgeFilters();
    qsizetype fullMatchInString(const SyntaxText& string, kit::Range range, bool atEnd) const;
    qsizetype matchHereDocumentEnd(const SyntaxText& string, kit::Range range, bool atEnd) const;
    qsizetype matchValues(const SyntaxText& s, kit::Range range, const QStringList& lowered, bool atEnd,
        const ValueIndexes* index = nullptr) const;

    quint64 m_minCharLength = 1;
    quint64 m_maxCharLength = SyntaxUnlimited;
    bool m_matchOutsideRange = false;
    bool m_endOfContents = false;
    std::optional<SyntaxCharacterSet> m_characters;
    std::optional<QStringList> m_values;
    std::optional<QStringList> m_excludeValues;
    // Lower-cased copies, so matching allocates nothing.
    QStringList m_loweredValues;
    QStringList m_loweredExcludes;
    ValueIndexes m_valueIndex;
    ValueIndexes m_excludeIndex;
    char16_t m_escapeChar = 0;
    bool m_hereDocumentEnd = false;
    EdgeFilter m_first;
    EdgeFilter m_last;
};
