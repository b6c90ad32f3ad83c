#include "syntax/SyntaxCharacterSet.h"

#include "syntax/SyntaxXML.h"

#include <QChar>
#include <algorithm>
#include <vector>

bool SyntaxCharacterSet::isNewline(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool SyntaxCharacterSet::isWhitespaceOrNewline(char16_t c)
{
    if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85)
        return true;
    switch (QChar::category(char32_t(c))) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

bool SyntaxCharacterSet::isLetter(char16_t c)
{
    switch (QChar::category(char32_t(c))) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

bool SyntaxCharacterSet::isAlphanumeric(char16_t c)
{
    if (isLetter(c))
        return true;
    switch (QChar::category(char32_t(c))) {
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

// Builds over a full bitmap of the 16-bit range, then compresses.
class SyntaxCharacterSet::Builder
{
public:
    Builder()
        : bits(0x10000, false)
    {
    }
    std::vector<bool> bits;

    void addIf(bool (*test)(char16_t))
    {
        // Each category set is computed once per process.
        static std::vector<std::pair<bool (*)(char16_t), std::vector<bool>>> cache;
        const std::vector<bool>* known = nullptr;
        for (const auto& entry : cache)
            if (entry.first == test)
                known = &entry.second;
        if (!known) {
            std::vector<bool> computed(0x10000, false);
            for (uint32_t c = 0; c < 0x10000; ++c)
                computed[c] = test(char16_t(c));
            cache.emplace_back(test, std::move(computed));
            known = &cache.back().second;
        }
        for (uint32_t c = 0; c < 0x10000; ++c)
            if ((*known)[c])
                bits[c] = true;
    }
    void addAll() { std::fill(bits.begin(), bits.end(), true); }
    void addString(const QString& s)
    {
        for (QChar ch : s)
            bits[ch.unicode()] = true;
    }
    void remove(const Builder& other)
    {
        for (uint32_t c = 0; c < 0x10000; ++c)
            if (other.bits[c])
                bits[c] = false;
    }
    void read(const SyntaxXMLNode& node)
    {
        std::vector<Builder> excludes;
        for (const SyntaxXMLNode& child : node.childNodes()) {
            const QString name = child.nodeName();
            if (name == QLatin1String("characters"))
                addString(child.contents());
            else if (name == QLatin1String("whitespace"))
                addIf(&SyntaxCharacterSet::isWhitespaceOrNewline);
            else if (name == QLatin1String("newline"))
                addIf(&SyntaxCharacterSet::isNewline);
            else if (name == QLatin1String("alphanumeric"))
                addIf(&SyntaxCharacterSet::isAlphanumeric);
            else if (name == QLatin1String("letters"))
                addIf(&SyntaxCharacterSet::isLetter);
            else if (name == QLatin1String("any"))
                addAll(); // U+0000 to U+1FFFF: every 16-bit unit, surrogates included
            else if (name == QLatin1String("exclude")) {
                excludes.emplace_back();
                excludes.back().read(child);
            }
        }
        for (const Builder& e : excludes)
            remove(e);
    }
    SyntaxCharacterSet result() const
    {
        SyntaxCharacterSet set;
        for (uint32_t c = 0; c < 128; ++c)
            if (bits[c])
                set.m_ascii[c >> 6] |= quint64(1) << (c & 63);
        uint32_t c = 128;
        while (c < 0x10000) {
            if (!bits[c]) {
                ++c;
                continue;
            }
            uint32_t end = c;
            while (end + 1 < 0x10000 && bits[end + 1])
                ++end;
            set.m_ranges.append({ char16_t(c), char16_t(end) });
            c = end + 1;
        }
        return set;
    }
};

SyntaxCharacterSet SyntaxCharacterSet::fromNode(const SyntaxXMLNode& node)
{
    Builder b;
    b.read(node);
    return b.result();
}

SyntaxCharacterSet SyntaxCharacterSet::fromString(const QString& characters)
{
    SyntaxCharacterSet set;
    for (QChar ch : characters) {
        const char16_t c = ch.unicode();
        if (c < 128)
            set.m_ascii[c >> 6] |= quint64(1) << (c & 63);
        else
            set.m_ranges.append({ c, c });
    }
    std::sort(set.m_ranges.begin(), set.m_ranges.end());
    set.m_ranges.erase(std::unique(set.m_ranges.begin(), set.m_ranges.end()), set.m_ranges.end());
    return set;
}
