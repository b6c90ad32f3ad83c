#pragma once
// Matches a number, reporting values outside its bounds.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyNumberValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    bool acceptsMathFunctions() const override { return true; }
    static constexpr double Unset = 1.7976931348623157e308;
    KELCSSPropertyNumberValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Number) {}
    void setMinValue(double v) { m_min = v; }
    void setMaxValue(double v) { m_max = v; }
    void setWarningForOutOfRange(bool w) { m_warning = w; }
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

protected:
    explicit KELCSSPropertyNumberValueDefinition(quint32 type) : KELCSSPropertySimpleValueDefinition(type) {}
    void checkRange(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    double m_min = -Unset;
    double m_max = Unset;
    bool m_warning = false;
};
