#pragma once
// Stands for a node that is built later (recursive grammars) and forwards to it.

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

/// Stands for a node that is built later (recursive grammars); forwards everything to it.
class KELCSSPropertyValueDefinitionProxy : public KELCSSPropertyValueDefinition {
public:
    const KELCSSPropertyValueDefinition* valueDef() const { return m_target; }
    void setValueDef(const KELCSSPropertyValueDefinition* target) { m_target = target; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString displayDescription() const override { return m_target ? m_target->displayDescription() : QString(); }
    QString displayExpectedValuesDescription() const override { return m_target ? m_target->displayExpectedValuesDescription() : QString(); }
    QString genericErrorDescription() const override { return m_target ? m_target->genericErrorDescription() : QString(); }
    QString shortGenericErrorDescription() const override { return m_target ? m_target->shortGenericErrorDescription() : QString(); }
    QString expectedValuesDescription() const override { return m_target ? m_target->expectedValuesDescription() : QString(); }

private:
    const KELCSSPropertyValueDefinition* m_target = nullptr;
};
