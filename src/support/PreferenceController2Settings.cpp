#include "support/PreferenceController2.h"

#include "kit/UserDefaults.h"

#include <QFontDatabase>
#include <QHash>

namespace {

QHash<QString, QColor>& colorCache()
{
    static QHash<QString, QColor> cache;
    return cache;
}

} // namespace

QColor PreferenceController2::colorForKey(const QString& key)
{
    auto& cache = colorCache();
    if (const auto it = cache.constFind(key); it != cache.cend())
        return *it;
    const QColor color = kit::UserDefaults::standard().colorValue(key);
    if (color.isValid())
        cache.insert(key, color);
    return color;
}

void PreferenceController2::setColor(const QColor& color, const QString& key)
{
    colorCache().insert(key, color);
    kit::UserDefaults::standard().setColor(key, color);
}

QFont PreferenceController2::defaultFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(11);
    return font;
}

QString PreferenceController2::nameForRegexType(qint64 type)
{
    if (type == 0)
        return QStringLiteral("None");
    if (type == 1)
        return QStringLiteral("Simple");
    return QStringLiteral("Advanced");
}

void PreferenceController2::resetColorCacheForTesting()
{
    colorCache().clear();
}
