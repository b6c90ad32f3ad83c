#pragma once
// Matches an angle, with optional bounds given in degrees.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <optional>

class KELCSSPropertyAngleValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyAngleValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("angle")) {}
    void setMinDegrees(qint64 v) { m_minDegrees = v; }
    void setMaxDegrees(qint64 v) { m_maxDegrees = v; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    qint64 m_minDegrees = std::numeric_limits<qint64>::min();
    qint64 m_maxDegrees = std::numeric_limits<qint64>::max();
};
