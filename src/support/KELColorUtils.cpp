#include "support/KELColorUtils.h"

#include "kit/Log.h"
#include "kit/PropertyList.h"
#include "kit/Resources.h"

KELColorUtils::KELColorUtils(const QString& path)
{
    kit::Error error;
    const QVariant table = path.isEmpty() ? QVariant() : kit::readPropertyList(path, &error);
    if (table.typeId() != QMetaType::QVariantMap) {
        kit::log(QStringLiteral("Could not read the colour names %1: %2")
                     .arg(path.isEmpty() ? QStringLiteral("ColorNames.plist") : path, error.localizedDescription()));
        return;
    }
    const QVariantMap map = table.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString)
            m_colors.insert(it.key(), it.value().toString());
    }
}

KELColorUtils& KELColorUtils::sharedInstance()
{
    static KELColorUtils instance(kit::resourcePath(QStringLiteral("ColorNames.plist")));
    return instance;
}

QStringList KELColorUtils::htmlColorNames() const
{
    return m_colors.keys();
}

std::optional<QString> KELColorUtils::htmlHexForColorName(const QString& name) const
{
    for (auto it = m_colors.cbegin(); it != m_colors.cend(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return std::nullopt;
}
