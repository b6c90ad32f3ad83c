#pragma once
// Components in order, optionally with a delimiter between them and an optional tail.

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

class KELCSSPropertySequenceValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    static constexpr qsizetype NoneOptional = std::numeric_limits<qsizetype>::max();
    KELCSSPropertySequenceValueDefinition(QList<const KELCSSPropertyValueDefinition*> components, QChar delimiter = QChar(),
        qsizetype optionalIndex = NoneOptional)
        : KELCSSPropertyComplexValueDefinition(std::move(components)), m_delimiter(delimiter), m_optionalIndex(optionalIndex) {}
    qsizetype optionalIndex() const { return m_optionalIndex; }
    void setOptionalIndex(qsizetype index) { m_optionalIndex = index; }
    QChar delimiter() const { return m_delimiter; }
    void setDelimiter(QChar delimiter) { m_delimiter = delimiter; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QChar m_delimiter;
    qsizetype m_optionalIndex;
};
