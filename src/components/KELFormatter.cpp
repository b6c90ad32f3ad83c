#include "components/KELFormatter.h"

#include "components/KELExpression.h"
#include "kit/Log.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

qsizetype skipBlanks(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<qint64> scanInteger(const QString& text)
{
    qsizetype i = skipBlanks(text);
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    const qsizetype digits = i;
    while (i < text.size() && isDigit(text.at(i)))
        ++i;
    if (i == digits)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = QStringView(text).mid(start, i - start).toLongLong(&ok);
    if (ok)
        return value;
    // Too long for 64 bits: the nearest end of the range.
    return text.at(start) == QLatin1Char('-') ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

std::optional<double> scanDouble(const QString& text)
{
    // Only plain decimal notation: no "nan", "inf" or hexadecimal forms.
    qsizetype i = skipBlanks(text);
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text.at(i))) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && isDigit(text.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < text.size() && (text.at(j) == QLatin1Char('-') || text.at(j) == QLatin1Char('+')))
            ++j;
        if (j < text.size() && isDigit(text.at(j))) {
            while (j < text.size() && isDigit(text.at(j)))
                ++j;
            i = j;
        }
    }
    const QByteArray number = QStringView(text).mid(start, i - start).toLatin1();
    const double value = std::strtod(number.constData(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::unique_ptr<KELFormatter> KELFormatter::formatterWithNode(const KELXMLNode& node)
{
    const QString type = node.valueForAttribute(QStringLiteral("type")).value_or(QString());
    const auto number = [&node](const char* name) -> std::optional<QString> { return node.valueForAttribute(QString::fromLatin1(name)); };
    if (type == QLatin1String("CSSId"))
        return std::make_unique<KELCSSIdFormatter>(node.valueForAttribute(QStringLiteral("case")) == QStringLiteral("lower"));
    if (type == QLatin1String("Double")) {
        auto formatter = std::make_unique<KELDoubleFormatter>();
        if (const auto text = number("minValue"))
            formatter->minValue = scanDouble(*text).value_or(0);
        if (const auto text = number("maxValue"))
            formatter->maxValue = scanDouble(*text).value_or(0);
        if (const auto text = number("minPrecision"))
            formatter->minPrecision = scanInteger(*text).value_or(0);
        if (const auto text = number("maxPrecision"))
            formatter->maxPrecision = scanInteger(*text).value_or(0);
        return formatter;
    }
    if (type == QLatin1String("String")) {
        auto formatter = std::make_unique<KELStringFormatter>();
        if (const auto text = number("maxLength"))
            formatter->maxLength = quint64(std::max<qint64>(0, scanInteger(*text).value_or(0)));
        return formatter;
    }
    kit::log(QStringLiteral("Formatter type %1 not recognized").arg(type));
    return nullptr;
}

std::optional<QString> KELFormatter::formatString(const std::optional<QString>&) const
{
    return std::nullopt;
}

std::optional<QString> KELIntFormatter::formatString(const std::optional<QString>& text) const
{
    if (!text)
        return std::nullopt;
    const std::optional<qint64> value = scanInteger(*text);
    if (!value)
        return std::nullopt;
    if (m_minValue && *value < *m_minValue)
        return QString::number(*m_minValue);
    if (m_maxValue && *value > *m_maxValue)
        return QString::number(*m_maxValue);
    return QString::number(*value);
}

std::optional<QString> KELCSSIdFormatter::formatString(const std::optional<QString>& text) const
{
    if (!text || text->isEmpty())
        return std::nullopt;
    const auto isAsciiLetter = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    };
    if (!isAsciiLetter(text->at(0)))
        return std::nullopt;
    QString result;
    for (QChar c : *text) {
        if (isAsciiLetter(c) || isDigit(c) || c == QLatin1Char('-') || c == QLatin1Char('_'))
            result += c;
    }
    return m_lowerCase ? result.toLower() : result;
}

std::optional<QString> KELDoubleFormatter::formatString(const std::optional<QString>& text) const
{
    if (!text)
        return std::nullopt;
    std::optional<double> value = scanDouble(*text);
    if (!value)
        return std::nullopt;
    if (minValue && *value < *minValue)
        value = minValue;
    else if (maxValue && *value > *maxValue)
        value = maxValue;
    QString result = KELExpression::formatDouble(*value);
    // Exponent forms ("1e+20") are written out, so the decimals can be counted.
    if (result.contains(QLatin1Char('e')))
        result = QString::number(*value, 'f', 17).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
    if (minPrecision && *minPrecision > 0) {
        const qsizetype point = result.indexOf(QLatin1Char('.'));
        const qsizetype decimals = point < 0 ? 0 : result.size() - point - 1;
        if (decimals < *minPrecision) {
            if (point < 0)
                result += QLatin1Char('.');
            result += QString(qsizetype(*minPrecision - decimals), QLatin1Char('0'));
            return result;
        }
    }
    if (maxPrecision) {
        const qsizetype point = result.indexOf(QLatin1Char('.'));
        if (point >= 0 && result.size() - point - 1 > *maxPrecision) {
            result.truncate(point + 1 + qsizetype(std::max<qint64>(0, *maxPrecision)));
            if (result.endsWith(QLatin1Char('.')))
                result.chop(1);
        }
    }
    return result;
}

std::optional<QString> KELStringFormatter::formatString(const std::optional<QString>& text) const
{
    if (!text || quint64(text->size()) <= maxLength)
        return text;
    qsizetype cut = qsizetype(maxLength);
    // Never leave half of a surrogate pair behind.
    if (cut > 0 && text->at(cut - 1).isHighSurrogate())
        --cut;
    return text->left(cut);
}
