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
#include "support/KELColorUtils.h"

const QSet<QString>& KELCSSPropertyColorValueDefinition::colorNames()
{
    return KELColorUtils::knownColorNames();
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
