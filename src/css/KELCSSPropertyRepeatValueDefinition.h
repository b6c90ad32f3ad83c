#pragma once
// A repetition of one node, bounded, optionally with a delimiter between items.

#include "css/KELCSSPropertyDelimiterValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <memory>

class KELCSSPropertyRepeatValueDefinition : public KELCSSPropertyValueDefinition {
public:
    /// maxOccurs 0 = no upper bound; the repeated node is not owned.
    KELCSSPropertyRepeatValueDefinition(const KELCSSPropertyValueDefinition* sequenced, QChar delimiter, quint64 minOccurs, quint64 maxOccurs);
    const KELCSSPropertyValueDefinition* sequencedValueDef() const { return m_sequenced; }
    quint64 minOccurs() const { return m_min; }
    quint64 maxOccurs() const { return m_max; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    const KELCSSPropertyValueDefinition* m_sequenced;
    std::unique_ptr<KELCSSPropertyDelimiterValueDefinition> m_delimiterDef;
    quint64 m_min;
    quint64 m_max;
};
