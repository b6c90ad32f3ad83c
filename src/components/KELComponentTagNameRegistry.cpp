#include "components/KELComponentTagNameRegistry.h"

#include "kit/Log.h"
#include "kit/PropertyList.h"
#include "kit/Resources.h"

KELComponentTagNameRegistry& KELComponentTagNameRegistry::sharedInstance()
{
    static KELComponentTagNameRegistry instance(kit::resourcePath(QStringLiteral("KELComponentTags.plist")));
    return instance;
}

KELComponentTagNameRegistry::KELComponentTagNameRegistry(const QString& path)
{
    kit::Error error;
    const QVariant list = path.isEmpty() ? QVariant() : kit::readPropertyList(path, &error);
    const QVariantMap tags = list.toMap().value(QStringLiteral("KELComponentTags")).toMap();
    if (tags.isEmpty()) {
        kit::log(QStringLiteral("Component tag registry could not be read: %1").arg(path));
        return;
    }
    for (auto it = tags.cbegin(); it != tags.cend(); ++it)
        m_registry.insert(it.key(), it.value().toString());
}
