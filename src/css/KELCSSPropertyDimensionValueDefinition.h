#pragma once
// Matches a number with a unit of one kind; the units of each kind come from one
// shared table that the grammar data may extend.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

/// A number with a unit; the units a kind accepts come from one shared table.
class KELCSSPropertyDimensionValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    bool acceptsMathFunctions() const override { return true; }
    /// A dimension of a kind named in the unit table ("flex" ...); "dimension" has no units.
    explicit KELCSSPropertyDimensionValueDefinition(const QString& typeName = QStringLiteral("dimension"))
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Dimension), m_typeName(typeName) {}
    void setNonNegative(bool flag) { m_nonNegative = flag; }
    bool nonNegative() const { return m_nonNegative; }
    const QString& dimensionTypeName() const { return m_typeName; }
    /// The accepted units of this kind, lower case, sorted.
    QStringList validUnits() const;
    static QStringList validUnitsForType(const QString& typeName);
    /// Adds units to a kind (the grammar data extends the built-in sets).
    static void addValidUnits(const QString& typeName, const QStringList& units);

    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// The unit and sign checks; answers whether they added nothing.
    bool checkDimension(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    QString m_typeName;
    bool m_nonNegative = false;
};
