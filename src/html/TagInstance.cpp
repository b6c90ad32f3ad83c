#include "html/TagInstance.h"

void TagInstance::addAttribute(const QString& name, const QString& value)
{
    m_attributes.append(name);
    m_values.append(value);
}

std::optional<QString> TagInstance::valueForAttribute(const QString& name) const
{
    if (name.isNull())
        return std::nullopt;
    for (qsizetype i = 0; i < m_attributes.size(); ++i) {
        if (i < m_values.size() && m_attributes[i].compare(name, Qt::CaseInsensitive) == 0)
            return m_values[i];
    }
    return std::nullopt;
}

QString TagInstance::description() const
{
    const auto listText = [](const QStringList& list) {
        return QStringLiteral("(") + list.join(QStringLiteral(", ")) + QStringLiteral(")");
    };
    return QStringLiteral("name: %1\nattributes: %2\nvalues: %3").arg(m_name, listText(m_attributes), listText(m_values));
}
