#pragma once
// Matches one keyword of a set (compared in lower case).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class KELCSSPropertyIdSetValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    explicit KELCSSPropertyIdSetValueDefinition(const QStringList& ids);
    const QSet<QString>& ids() const { return m_ids; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QSet<QString> m_ids;
    QStringList m_sorted;
    QString m_joined; // the keywords as messages list them
};
