#pragma once
// One media feature in parentheses: the bare name, or the name (min-/max-) and a value.

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

class KELCSSPropertyMediaFeatureValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    KELCSSPropertyMediaFeatureValueDefinition(const QString& name, bool allowsMinMax, const KELCSSPropertyValueDefinition* value);
    const QString& featureName() const { return m_featureName; }
    bool allowsMinMax() const { return m_allowsMinMax; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override { return QStringLiteral("Expected media feature \"%1\".").arg(m_featureName); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<media-feature>"); }

private:
    QString m_featureName;
    bool m_allowsMinMax;
    const KELCSSPropertyValueDefinition* m_grammar = nullptr;
};
