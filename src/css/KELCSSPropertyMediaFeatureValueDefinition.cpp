#include "css/KELCSSPropertyMediaFeatureValueDefinition.h"

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "css/KELCSSPropertyDelimiterValueDefinition.h"
#include "css/KELCSSPropertyDisjunctiveValueDefinition.h"
#include "css/KELCSSPropertyIdSetValueDefinition.h"
#include "css/KELCSSPropertySequenceValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELParsedCSSValue.h"

KELCSSPropertyMediaFeatureValueDefinition::KELCSSPropertyMediaFeatureValueDefinition(const QString& name, bool allowsMinMax,
    const KELCSSPropertyValueDefinition* value)
    : KELCSSPropertyComplexValueDefinition(QList<const KELCSSPropertyValueDefinition*>()), m_featureName(name), m_allowsMinMax(allowsMinMax)
{
    QStringList names { name };
    if (allowsMinMax)
        names << QStringLiteral("min-%1").arg(name) << QStringLiteral("max-%1").arg(name);
    auto* bare = own<KELCSSPropertyIdSetValueDefinition>(QStringList { name });
    auto* prefixed = own<KELCSSPropertyIdSetValueDefinition>(names);
    auto* colon = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u':'));
    auto* withValue = own<KELCSSPropertySequenceValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { prefixed, colon, value });
    auto* either = own<KELCSSPropertyDisjunctiveValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { bare, withValue });
    auto* open = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u'('));
    auto* close = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u')'));
    m_grammar = own<KELCSSPropertySequenceValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { open, either, close });
}

void KELCSSPropertyMediaFeatureValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    m_grammar->validateParsedValues(values, declaration, index, errors);
}
