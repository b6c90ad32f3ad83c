#include "support/KELColorUtils.h"

#include "kit/Log.h"
#include "kit/PropertyList.h"
#include "kit/Resources.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

QSet<QString> readColorNames()
{
    QSet<QString> names;
    // The application's colour table.
    const QString plist = kit::resourcePath(QStringLiteral("ColorNames.plist"));
    if (!plist.isEmpty()) {
        QFile file(plist);
        if (file.open(QIODevice::ReadOnly)) {
            QXmlStreamReader xml(&file);
            int depth = 0;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement()) {
                    ++depth;
                    if (xml.name() == QLatin1String("key") && depth == 3)
                        names.insert(xml.readElementText().trimmed().toLower()), --depth;
                } else if (xml.isEndElement()) {
                    --depth;
                }
            }
        }
    }
    // The CSS colour keywords, so a short colour table never rejects a standard name.
    const QString keywords = kit::resourcePath(QStringLiteral("CSS/ColorKeywords.txt"));
    QFile file(keywords);
    if (!keywords.isEmpty() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString word = QString::fromUtf8(line).trimmed().toLower();
            if (!word.isEmpty() && !word.startsWith(QLatin1Char('#')))
                names.insert(word);
        }
    } else {
        kit::log(QStringLiteral("CSS colour keywords could not be read: %1").arg(QStringLiteral("CSS/ColorKeywords.txt")));
    }
    return names;
}

} // namespace

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

const QSet<QString>& KELColorUtils::knownColorNames()
{
    static const QSet<QString> names = readColorNames();
    return names;
}
