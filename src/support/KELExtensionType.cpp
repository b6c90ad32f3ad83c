#include "support/KELExtensionType.h"

#include "kit/NotificationCenter.h"
#include "support/KELFileTypeManager.h"

QString KELExtensionType::defaultNewExtenstionTypeName()
{
    return KELHTMLTypeName;
}

std::shared_ptr<KELExtensionType> KELExtensionType::extensionTypeWithExtension(std::optional<QString> extension,
    const QString& typeName)
{
    return std::make_shared<KELExtensionType>(std::move(extension), typeName);
}

KELExtensionType::KELExtensionType() : m_extension(QString()), m_typeName(defaultNewExtenstionTypeName())
{
    // Only one entry may stand for files without extension.
    for (const auto& entry : KELFileTypeManager::sharedInstance().extensionTypes())
        if (entry->extension() && entry->extension()->isEmpty()) {
            m_extension.reset();
            break;
        }
}

KELExtensionType::KELExtensionType(std::optional<QString> extension, QString typeName)
    : m_extension(std::move(extension)), m_typeName(std::move(typeName))
{
}

void KELExtensionType::setExtension(std::optional<QString> extension)
{
    m_extension = std::move(extension);
    kit::NotificationCenter::defaultCenter().post(KELExtensionValueChangedNotification, this);
}

void KELExtensionType::setTypeName(const QString& typeName)
{
    m_typeName = typeName;
    kit::NotificationCenter::defaultCenter().post(KELExtensionTypeNameChangedNotification, this);
}

bool KELExtensionType::validateExtension(std::optional<QString>& value, kit::Error* error) const
{
    QString proposed = value.value_or(QString());
    if (proposed.startsWith(QLatin1Char('.')))
        proposed.remove(0, 1);
    for (const auto& entry : KELFileTypeManager::sharedInstance().extensionTypes()) {
        if (entry.get() == this || !entry->extension())
            continue;
        if (entry->extension()->compare(proposed, Qt::CaseInsensitive) != 0)
            continue;
        if (proposed.isEmpty()) {
            value.reset();
            return true;
        }
        kit::setError(error, kit::Error::withDescription(QStringLiteral("KELErrorDomain"), 1,
            QStringLiteral("Another entry with extension \"%1\" already exists.").arg(proposed)));
        return false;
    }
    value = proposed;
    return true;
}

int KELExtensionType::compare(const KELExtensionType& other) const
{
    const bool mine = m_extension && !m_extension->isEmpty();
    const bool theirs = other.m_extension && !other.m_extension->isEmpty();
    if (mine && theirs) {
        const int c = m_extension->compare(*other.m_extension, Qt::CaseInsensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (mine != theirs)
        return mine ? -1 : 1;
    // Neither has a real extension: "" before none.
    const bool myEmpty = m_extension.has_value();
    const bool theirEmpty = other.m_extension.has_value();
    if (myEmpty == theirEmpty)
        return 0;
    return myEmpty ? -1 : 1;
}
