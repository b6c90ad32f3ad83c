#include "html/Tag.h"

const TagAttribute* Tag::attribute(const QString& name) const
{
    for (const TagAttribute& attribute : m_attributes) {
        if (attribute.name() == name)
            return &attribute;
    }
    return nullptr;
}

void Tag::addAttribute(const TagAttribute& attribute)
{
    // Letters folded to lower case, then code units: a prefix sorts first, "xml:lang" before "xmlns".
    qsizetype index = 0;
    while (index < m_attributes.size()
        && QString::compare(attribute.name(), m_attributes[index].name(), Qt::CaseInsensitive) > 0)
        ++index;
    m_attributes.insert(index, attribute);
}

void Tag::addAttribute(const QString& name, qint64 type)
{
    addAttribute(TagAttribute(name, type));
}

void Tag::addAttributes(const QStringList& names, qint64 type)
{
    for (const QString& name : names)
        addAttribute(name, type);
}

void Tag::addCustomAttribute(const QString& name, const QStringList& values)
{
    addAttribute(TagAttribute::custom(name, values));
}

void Tag::addCustomCombinationAttribute(const QString& name, const QStringList& values)
{
    addAttribute(TagAttribute::customCombination(name, values));
}

QString Tag::containedByErrorStringWithTagName(const QString& tagName) const
{
    QString text = QStringLiteral("The tag \"<") + tagName + QStringLiteral(">\" must be contained within the scope of a ");
    const qsizetype n = m_containedBy.size();
    if (n == 0)
        return text;
    if (n == 1) {
        text += QStringLiteral("\"<") + m_containedBy[0] + QStringLiteral(">\" tag. ");
    } else if (n == 2) {
        text += QStringLiteral("\"<") + m_containedBy[0] + QStringLiteral(">\" or \"<") + m_containedBy[1]
            + QStringLiteral(">\" tag. ");
    } else {
        for (qsizetype i = 0; i + 1 < n; ++i)
            text += QStringLiteral("\"<") + m_containedBy[i] + QStringLiteral(">\", ");
        text += QStringLiteral("or \"<") + m_containedBy[n - 1] + QStringLiteral(">\" tag. ");
    }
    return text;
}
