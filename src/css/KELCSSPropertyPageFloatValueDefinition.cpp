#include "css/KELCSSPropertyPageFloatValueDefinition.h"

#include "css/KELCSSPropertyCombinationValueDefinition.h"
#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSPropertyIdSetValueDefinition.h"
#include "css/KELCSSPropertyIdentifierValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "kit/Log.h"
#include "kit/Resources.h"

using namespace KELCSS;

KELCSSPropertyPageFloatValueDefinition::KELCSSPropertyPageFloatValueDefinition()
    : KELCSSPropertyCombinationValueDefinition(QList<const KELCSSPropertyValueDefinition*>())
{
    m_horizontal = { "left", "right", "inside", "outside" };
    m_vertical = { "top", "bottom" };
    const QStringList other { "page", "multicol", "next", "unless-room", "none", "hide", "footnote" };
    auto add = [this](std::unique_ptr<KELCSSPropertyValueDefinition> p) {
        m_components.append(p.get());
        m_parts.push_back(std::move(p));
    };
    add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(m_horizontal.begin(), m_horizontal.end())));
    add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(m_vertical.begin(), m_vertical.end())));
    for (const QString& word : other)
        add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList { word }));
    auto identifier = std::make_unique<KELCSSPropertyIdentifierValueDefinition>();
    auto page = std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("page"), identifier.get());
    m_parts.push_back(std::move(identifier));
    add(std::move(page));
}

void KELCSSPropertyPageFloatValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    const qsizetype start = index;
    KELSyntaxCheckErrors list;
    KELCSSPropertyCombinationValueDefinition::validateParsedValues(values, declaration, index, list);
    errors.append(list);
    if (!validErrorsArray(list))
        return;
    bool exclusive = false, placed = false;
    for (qsizetype i = start; i < index && i < values.size(); ++i) {
        const KELParsedCSSValue* v = values.at(i);
        QString word = v->name().toLower();
        if (v->type() == KELParsedCSSValue::Function && word == QLatin1String("page"))
            word = QStringLiteral("page()");
        if (word == QLatin1String("none") || word == QLatin1String("hide") || word == QLatin1String("footnote") || word == QLatin1String("page()"))
            exclusive = true;
        if (m_horizontal.contains(word) || m_vertical.contains(word))
            placed = true;
    }
    const kit::Range range = declaration ? declaration->textRange() : joinedTextRange(values);
    if (exclusive && placed)
        errors.append(makeError(QStringLiteral("Invalid Page Float"),
            QStringLiteral("Keywords \"none\", \"hide\", \"footnote\", and the page() expression cannot appear with a horizontal or vertical keyword."), range));
    else if (!exclusive && !placed)
        errors.append(makeError(QStringLiteral("Invalid Page Float"),
            QStringLiteral("One of the following  must appear in a page float: \"left\", \"right\", \"inside\", \"outside\", \"top\", \"bottom\", \"none\", \"hide\", \"footnote\", or the page() expression."),
            range));
}
