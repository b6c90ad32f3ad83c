#pragma once
// The value of a page float, with its rules on which keywords go together.

#include "css/KELCSSPropertyCombinationValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QSet>
#include <memory>
#include <vector>

class KELCSSPropertyPageFloatValueDefinition : public KELCSSPropertyCombinationValueDefinition {
public:
    KELCSSPropertyPageFloatValueDefinition();
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override { return QStringLiteral("Expected a page float value."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<page-float>"); }

private:
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_parts;
    QSet<QString> m_horizontal, m_vertical;
};
