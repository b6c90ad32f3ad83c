#include "html/TagAttribute.h"

#include "html/VocabularyServices.h"

namespace {

QStringList presetValues(qint64 type)
{
    switch (type) {
    case TagAttribute::TextDirection:
        return { QStringLiteral("ltr"), QStringLiteral("rtl") };
    case TagAttribute::Shape:
        return { QStringLiteral("circle"), QStringLiteral("default"), QStringLiteral("poly"), QStringLiteral("rect") };
    case TagAttribute::TargetFrame:
        return { QStringLiteral("_blank"), QStringLiteral("_parent"), QStringLiteral("_self"), QStringLiteral("_top") };
    default:
        return {};
    }
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// "\"a\", \"b\", or \"c\". " as the value message lists them.
QString quotedChoiceList(const QStringList& values)
{
    const qsizetype n = values.size();
    QString text;
    if (n == 1) {
        text = QLatin1Char('"') + values[0] + QStringLiteral("\". ");
    } else if (n == 2) {
        text = QLatin1Char('"') + values[0] + QStringLiteral("\" or \"") + values[1] + QStringLiteral("\". ");
    } else {
        for (qsizetype i = 0; i + 1 < n; ++i)
            text += QLatin1Char('"') + values[i] + QStringLiteral("\", ");
        text += QStringLiteral("or \"") + values[n - 1] + QStringLiteral("\". ");
    }
    return text;
}

QString mustBe(const QString& name, const QString& rest)
{
    return QStringLiteral("The value of the \"") + name + QStringLiteral("\" attribute must be ") + rest;
}

} // namespace

TagAttribute::TagAttribute(const QString& name, qint64 type)
    : m_name(name)
    , m_type(type)
{
    if (type == TextDirection || type == Shape || type == TargetFrame)
        m_customValues = presetValues(type);
}

TagAttribute::TagAttribute(const QString& name, qint64 type, const QString& value)
    : TagAttribute(name, type)
{
    m_value = value;
}

TagAttribute TagAttribute::custom(const QString& name, const QStringList& values)
{
    TagAttribute attribute;
    attribute.m_name = name;
    attribute.m_type = Custom;
    attribute.m_customValues = values;
    return attribute;
}

TagAttribute TagAttribute::customCombination(const QString& name, const QStringList& values)
{
    TagAttribute attribute = custom(name, values);
    attribute.m_type = CustomCombination;
    return attribute;
}

TagAttribute TagAttribute::tempCopy() const
{
    TagAttribute copy;
    if (m_type == Custom)
        copy = custom(m_name, customValues());
    else if (m_type == CustomCombination)
        copy = customCombination(m_name, customValues());
    else
        copy = TagAttribute(m_name, m_type);
    copy.m_value = m_value;
    return copy;
}

QStringList TagAttribute::customValues() const
{
    if (m_customValues)
        return *m_customValues;
    return { QStringLiteral("") };
}

QString TagAttribute::errorMessageForAttributeValue(const QString& value) const
{
    const QString lower = value.toLower();
    const QString& name = m_name;
    switch (m_type) {
    case Coordinates:
        if (!isCoords(value))
            return QStringLiteral("There are not appropriate coordinates for the \"") + name + QStringLiteral("\" attribute. ");
        return {};
    case TextDirection:
        // The message names "dir" whatever the attribute is called: it is the only one of this type.
        if (lower != QLatin1String("ltr") && lower != QLatin1String("rtl"))
            return QStringLiteral("The value of the \"dir\" attribute must either be \"rtl\" or \"ltr\"");
        return {};
    case Color:
        if (!isHTMLColorName(lower) && !isRGBColor(lower))
            return mustBe(name, QStringLiteral("a color name or a hexadecimal value. "));
        return {};
    case Number:
        if (!isNumber(value))
            return mustBe(name, QStringLiteral("a number. "));
        return {};
    case PositiveNumber:
        if (!isPositiveNumber(value))
            return mustBe(name, QStringLiteral("a number greater than or equal to zero. "));
        return {};
    case PositiveNumberOrPercentage:
        if (isPositiveNumber(value))
            return {};
        if (!value.isEmpty() && value.back() == QLatin1Char('%') && isPositiveNumber(value.chopped(1)))
            return {};
        return mustBe(name, QStringLiteral("a number greater than or equal to zero or a percentage. "));
    case Shape:
        if (!presetValues(Shape).contains(lower))
            return mustBe(name, QStringLiteral("\"circle\", \"default\", \"poly\", or \"rect\". "));
        return {};
    case TargetFrame:
        // A value that does not begin with "_" names a frame and is not checked.
        if (value.isEmpty() || value.front() != QLatin1Char('_'))
            return {};
        if (!presetValues(TargetFrame).contains(lower))
            return mustBe(name, QStringLiteral("the name of a frame or \"_blank\", \"_parent\", \"_self\", or \"_top\". "));
        return {};
    case FontSize: {
        static const QStringList sizes = {
            QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
            QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("-1"), QStringLiteral("-2"), QStringLiteral("-3"),
            QStringLiteral("-4"), QStringLiteral("-5"), QStringLiteral("-6"), QStringLiteral("+1"), QStringLiteral("+2"),
            QStringLiteral("+3"), QStringLiteral("+4"), QStringLiteral("+5"), QStringLiteral("+6"),
        };
        if (!sizes.contains(value))
            return mustBe(name,
                QStringLiteral("a numeric value from 1 to 7, an increment value from +1 to +6, or a decrement value "
                               "from -1 to -6. "));
        return {};
    }
    case Character:
        if (value.size() != 1)
            return mustBe(name, QStringLiteral("a single character. "));
        return {};
    case MultiLength: {
        if (value == QLatin1String("*") || isPositiveNumber(value))
            return {};
        if (!value.isEmpty() && (value.back() == QLatin1Char('%') || value.back() == QLatin1Char('*'))
            && isPositiveNumber(value.chopped(1)))
            return {};
        return mustBe(name, QStringLiteral("a number greater than or equal to zero, a percentage, or a relative width. "));
    }
    case NotDefined:
        // HTML attribute names ignore case, so "DATA-X" is as valid as "data-x" (the
        // error checker lower-cases names before the same test).
        if (showHTML5Completions()
            && (name.startsWith(QLatin1String("data-"), Qt::CaseInsensitive)
                || name.startsWith(QLatin1String("aria-"), Qt::CaseInsensitive)))
            return {};
        return QStringLiteral("The attribute \"") + name + QStringLiteral("\" is not permitted in this tag. ");
    case Custom: {
        const QStringList values = customValues();
        if (values.contains(lower))
            return {};
        return mustBe(name, quotedChoiceList(values));
    }
    default:
        return {};
    }
}

bool TagAttribute::isNumber(const QString& s)
{
    if (s.isEmpty())
        return false;
    const qsizetype start = (s.size() >= 2 && s.front() == QLatin1Char('-')) ? 1 : 0;
    for (qsizetype i = start; i < s.size(); ++i) {
        if (!isDigit(s[i]))
            return false;
    }
    return true;
}

bool TagAttribute::isPositiveNumber(const QString& s)
{
    return isNumber(s) && s.front() != QLatin1Char('-');
}

bool TagAttribute::isCoords(const QString& s)
{
    const QStringList pieces = s.split(QLatin1Char(','), Qt::KeepEmptyParts);
    for (const QString& piece : pieces) {
        if (!isNumber(piece))
            return false;
    }
    return true;
}

bool TagAttribute::isRGBColor(const QString& s)
{
    if ((s.size() != 7 && s.size() != 4) || s.front() != QLatin1Char('#'))
        return false;
    for (qsizetype i = 1; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!isDigit(c) && !(c >= QLatin1Char('a') && c <= QLatin1Char('f')))
            return false;
    }
    return true;
}
