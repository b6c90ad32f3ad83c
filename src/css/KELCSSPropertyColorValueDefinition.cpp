#include "css/KELCSSPropertyColorValueDefinition.h"

#include "css/KELCSSPropertyDisjunctiveValueDefinition.h"
#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSPropertyHashColorValueDefinition.h"
#include "css/KELCSSPropertyIdSetValueDefinition.h"
#include "css/KELCSSPropertyIntegerValueDefinition.h"
#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELCSSPropertyPercentageValueDefinition.h"
#include "css/KELCSSPropertyRepeatValueDefinition.h"
#include "css/KELCSSPropertySequenceValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "kit/Log.h"
#include "kit/Resources.h"

#include <QSet>
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

const QSet<QString>& KELCSSPropertyColorValueDefinition::colorNames()
{
    static const QSet<QString> names = readColorNames();
    return names;
}

KELCSSPropertyColorValueDefinition::KELCSSPropertyColorValueDefinition()
    : KELCSSPropertyDisjunctiveValueDefinition(QList<const KELCSSPropertyValueDefinition*>())
{
    auto make = [this](auto p) {
        auto* raw = p.get();
        m_parts.push_back(std::move(p));
        return raw;
    };
    using Defs = QList<const KELCSSPropertyValueDefinition*>;
    auto* special = make(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList { "transparent", "currentcolor" }));
    const QSet<QString>& names = colorNames();
    auto* named = make(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(names.begin(), names.end())));
    auto* hash = make(std::make_unique<KELCSSPropertyHashColorValueDefinition>());

    auto* channel = make(std::make_unique<KELCSSPropertyIntegerValueDefinition>());
    channel->setMinValue(0), channel->setMaxValue(255), channel->setWarningForOutOfRange(true);
    auto* percent = make(std::make_unique<KELCSSPropertyPercentageValueDefinition>());
    percent->setMinValue(0), percent->setMaxValue(100), percent->setWarningForOutOfRange(true);
    auto* alpha = make(std::make_unique<KELCSSPropertyNumberValueDefinition>());
    alpha->setMinValue(0), alpha->setMaxValue(1), alpha->setWarningForOutOfRange(true);
    auto* hue = make(std::make_unique<KELCSSPropertyNumberValueDefinition>());
    hue->setMinValue(0), hue->setMaxValue(360), hue->setWarningForOutOfRange(true);

    auto* rgbIntegers = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { channel, channel, channel }, QChar(u',')));
    auto* rgbPercents = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { percent, percent, percent }, QChar(u',')));
    auto* rgbArgs = make(std::make_unique<KELCSSPropertyDisjunctiveValueDefinition>(Defs { rgbIntegers, rgbPercents }));
    auto* rgb = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("rgb"), rgbArgs));
    auto* rgbaArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { rgbArgs, alpha }, QChar(u',')));
    auto* rgba = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("rgba"), rgbaArgs));
    auto* hslArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { hue, percent, percent }, QChar(u',')));
    auto* hsl = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("hsl"), hslArgs));
    auto* hslaArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { hue, percent, percent, alpha }, QChar(u',')));
    auto* hsla = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("hsla"), hslaArgs));
    auto* cmykArgs = make(std::make_unique<KELCSSPropertyRepeatValueDefinition>(alpha, QChar(u','), 4, 4));
    auto* cmyk = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("cmyk"), cmykArgs));
    m_components = Defs { special, named, hash, rgb, rgba, hsl, hsla, cmyk };
}
