#include "editor/FindParameters.h"

namespace {

const QString kSpecials = QStringLiteral("|().?*+{}^$[]-&#:=!<>@\\");

QString escapeAll(const QString& string)
{
    QString out;
    out.reserve(string.size() * 2);
    for (QChar c : string) {
        if (kSpecials.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString simplePattern(const QString& string)
{
    QString out;
    out.reserve(string.size() * 2);
    for (qsizetype i = 0; i < string.size(); ++i) {
        const QChar c = string.at(i);
        if (c == QLatin1Char('\\') && i + 1 < string.size()
            && (string.at(i + 1) == QLatin1Char('*') || string.at(i + 1) == QLatin1Char('\\'))) {
            out += QLatin1Char('\\');
            out += string.at(i + 1);
            ++i;
        } else if (c == QLatin1Char('*')) {
            out += QStringLiteral(".*?");
        } else {
            if (kSpecials.contains(c))
                out += QLatin1Char('\\');
            out += c;
        }
    }
    return out;
}

} // namespace

FindParameters::FindParameters(const QString& searchString, const std::optional<QString>& fileString,
    OgreOption options, qint64 searchRegexType, qint64 fileRegexType)
    : m_searchString(searchString)
    , m_fileString(fileString)
    , m_options(options)
    , m_searchRegexType(searchRegexType)
    , m_fileRegexType(fileRegexType)
{
}

QString FindParameters::getRegexForSearchString(const QString& string, qint64 regexType, bool commaDelimited)
{
    QString pattern;
    if (regexType == FindRegexTypeNone)
        pattern = escapeAll(string);
    else if (regexType == FindRegexTypeSimple)
        pattern = simplePattern(string);
    else
        pattern = string;
    if (!commaDelimited || pattern.isEmpty())
        return pattern;
    QStringList pieces;
    for (const QString& piece : pattern.split(QLatin1Char(',')))
        pieces << QLatin1Char('(') + piece.trimmed() + QLatin1Char(')');
    return pieces.join(QLatin1Char('|'));
}

std::optional<OGRegularExpression> FindParameters::findExpression() const
{
    const QString pattern = getRegexForSearchString(m_searchString, m_searchRegexType, false);
    if (!OGRegularExpression::isValidExpressionString(pattern, m_options))
        return std::nullopt;
    return OGRegularExpression::regularExpressionWithString(pattern, m_options);
}

std::optional<OGRegularExpression> FindParameters::fileExpression() const
{
    const QString trimmed = m_fileString.value_or(QString()).trimmed();
    QString pattern;
    if (trimmed.isEmpty())
        pattern = QStringLiteral(".*");
    else
        pattern = QStringLiteral("\\A(%1)\\z").arg(getRegexForSearchString(trimmed, m_fileRegexType, true));
    if (!OGRegularExpression::isValidExpressionString(pattern, OgreIgnoreCaseOption))
        return std::nullopt;
    return OGRegularExpression::regularExpressionWithString(pattern, OgreIgnoreCaseOption);
}
