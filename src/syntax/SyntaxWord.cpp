#include "syntax/SyntaxWord.h"

#include "kit/UserDefaults.h"
#include "syntax/KELCompletionUtils.h"
#include "syntax/SyntaxXML.h"

#include <vector>

namespace {
const QString ElementType = QStringLiteral("Element");

QString textOf(const SyntaxXMLNode& node)
{
    const QString t = node.contents();
    return t.isNull() ? QString(QLatin1String("")) : t;
}
} // namespace

SyntaxWord::SyntaxWord(const SyntaxXMLNode& node)
{
    m_wordId = node.valueForAttribute("id");
    m_caseSensitive = node.valueForAttribute("caseSensitive").compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
    for (const SyntaxXMLNode& child : node.childNodes()) {
        const QString name = child.nodeName();
        if (name == QLatin1String("value"))
            m_value = textOf(child);
        else if (name == QLatin1String("type"))
            m_type = child.contents();
        else if (name == QLatin1String("object"))
            m_object = child.contents();
        else if (name == QLatin1String("description"))
            m_description = child.contents();
        else if (name == QLatin1String("copyright"))
            m_copyrightRef = child.valueForAttribute("ref");
        else if (name == QLatin1String("url"))
            m_infoUrl = child.contents();
        else if (name == QLatin1String("standard"))
            m_standard = child.contents();
    }
    // Derived from the stored text, so it does not depend on the case setting
    // in force while the vocabulary happened to be read.
    m_insertValue = insertValueForValue(m_value);
}

void SyntaxWord::setValue(const QString& v)
{
    m_value = v;
    m_insertValue = insertValueForValue(v);
}

bool SyntaxWord::capitalized() const
{
    return m_type == ElementType && kit::UserDefaults::standard().boolValue(QStringLiteral("Should Capitalize Tags"));
}

QString SyntaxWord::value() const { return capitalized() ? m_value.toUpper() : m_value; }

QString SyntaxWord::insertValue() const { return capitalized() ? m_insertValue.toUpper() : m_insertValue; }

QString SyntaxWord::insertValueForValue(const QString& value)
{
    if (!value.contains(QLatin1Char('>')))
        return value;
    QString result = value;
    qsizetype from = result.size();
    while (from >= 2) {
        const qsizetype close = result.lastIndexOf(QLatin1String("!>"), from - 2);
        if (close < 0)
            break;
        const qsizetype open = close >= 2 ? result.lastIndexOf(QLatin1String("<!"), close - 2) : -1;
        if (open < 0)
            break;
        result.remove(open, close + 2 - open);
        from = open;
    }
    return result;
}

StyledText SyntaxWord::displayValue() const
{
    // Work on characters with a grey flag each, then build format runs.
    QString text;
    std::vector<bool> grey;
    if (!m_object.isEmpty()) {
        const QString prefix = m_object + QStringLiteral("::");
        text += prefix;
        grey.insert(grey.end(), size_t(prefix.size()), true);
    }
    const QString v = value();
    text += v;
    grey.insert(grey.end(), size_t(v.size()), false);

    qsizetype from = text.size();
    while (from >= 2) {
        // The end marker nearest the end, of either kind.
        const qsizetype bang = text.lastIndexOf(QLatin1String("!>"), from - 2);
        const qsizetype hash = text.lastIndexOf(QLatin1String("#>"), from - 2);
        const qsizetype close = std::max(bang, hash);
        if (close < 0)
            break;
        const QLatin1String opener = close == bang ? QLatin1String("<!") : QLatin1String("<#");
        const qsizetype open = close >= 2 ? text.lastIndexOf(opener, close - 2) : -1;
        if (open < 0)
            break;
        const qsizetype innerLength = close - (open + 2);
        text.remove(close, 2);
        text.remove(open, 2);
        grey.erase(grey.begin() + close, grey.begin() + close + 2);
        grey.erase(grey.begin() + open, grey.begin() + open + 2);
        for (qsizetype k = open; k < open + innerLength; ++k)
            grey[size_t(k)] = true;
        from = open;
    }

    const KELCompletionUtils& utils = KELCompletionUtils::sharedInstance();
    StyledText out;
    qsizetype runStart = 0;
    for (qsizetype k = 1; k <= text.size(); ++k) {
        if (k == text.size() || grey[size_t(k)] != grey[size_t(runStart)]) {
            out.append(text.mid(runStart, k - runStart),
                grey[size_t(runStart)] ? utils.displayValueGreyAttributes() : utils.displayValueAttributes());
            runStart = k;
        }
    }
    return out;
}
