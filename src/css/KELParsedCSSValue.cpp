#include "css/KELParsedCSSValue.h"

#include <QtAlgorithms>

#include <charconv>

void KELParsedCSSValue::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    if (!m_subvalues)
        m_subvalues = std::make_unique<KELParsedCSSValues>();
    m_subvalues->append(value.release());
}

KELParsedCSSValue::~KELParsedCSSValue()
{
    if (m_subvalues)
        qDeleteAll(*m_subvalues);
}

const KELParsedCSSValues& KELParsedCSSValue::noSubvalues()
{
    static const KELParsedCSSValues none;
    return none;
}

QString KELParsedCSSValue::nameForType(qint64 type)
{
    switch (type) {
    case Identifier: return QStringLiteral("identifier");
    case Number: return QStringLiteral("number");
    case Dimension: return QStringLiteral("dimension");
    case Percentage: return QStringLiteral("percentage");
    case String: return QStringLiteral("string");
    case URI: return QStringLiteral("uri");
    case Hash: return QStringLiteral("hash");
    case Function: return QStringLiteral("function");
    case Delimiter: return QStringLiteral("delimiter");
    case Block: return QStringLiteral("block");
    case URLToken: return QStringLiteral("url-token");
    default: return QString();
    }
}

QString KELParsedCSSValue::formatFloat(float value)
{
    // The shortest text that reads back as the same float.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString KELParsedCSSValue::description() const
{
    switch (m_type) {
    case Number: return formatFloat(m_value);
    case Dimension: return formatFloat(m_value) + m_name;
    case Percentage: return formatFloat(m_value) + QLatin1Char('%');
    case Hash: return QLatin1Char('#') + m_name;
    case UnicodeRange: return QStringLiteral("u+") + m_name;
    case Function: return m_name + QStringLiteral("()");
    case Block: return QStringLiteral("block");
    default: return m_name;
    }
}

bool KELParsedCSSValue::isWhitespace() const
{
    if (m_type != Delimiter || m_name.isEmpty())
        return false;
    for (QChar c : m_name)
        if (!c.isSpace())
            return false;
    return true;
}

QString KELParsedCSSValue::itemTypeName() const
{
    if (m_type == Function)
        return QStringLiteral("function");
    if (m_type == Block)
        return QStringLiteral("block");
    return QStringLiteral("value");
}
