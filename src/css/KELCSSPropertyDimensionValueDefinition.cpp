#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QHash>
#include <QMutex>

using namespace KELCSS;

namespace {

struct UnitTable {
    QMutex mutex;
    QHash<QString, QStringList> units {
        { QStringLiteral("dimension"), {} },
        { QStringLiteral("length"), { "cm", "em", "ex", "gr", "in", "mm", "pc", "pt", "px" } },
        { QStringLiteral("angle"), { "deg", "grad", "rad", "turn" } },
        { QStringLiteral("time"), { "ms", "s" } },
        { QStringLiteral("frequency"), { "hz", "khz" } },
        { QStringLiteral("resolution"), { "dpcm", "dpi", "dppx" } },
        { QStringLiteral("semitones"), { "st" } },
    };
};

UnitTable& unitTable()
{
    static UnitTable table;
    return table;
}

} // namespace

QStringList KELCSSPropertyDimensionValueDefinition::validUnitsForType(const QString& typeName)
{
    UnitTable& t = unitTable();
    QMutexLocker lock(&t.mutex);
    return t.units.value(typeName);
}

void KELCSSPropertyDimensionValueDefinition::addValidUnits(const QString& typeName, const QStringList& units)
{
    UnitTable& t = unitTable();
    QMutexLocker lock(&t.mutex);
    QStringList& list = t.units[typeName];
    for (const QString& u : units)
        if (!list.contains(u.toLower()))
            list.append(u.toLower());
    std::sort(list.begin(), list.end());
}

QStringList KELCSSPropertyDimensionValueDefinition::validUnits() const
{
    return validUnitsForType(m_typeName);
}

bool KELCSSPropertyDimensionValueDefinition::checkDimension(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    const QStringList units = validUnits();
    if (!units.contains(value->name().toLower())) {
        errors.append(makeError(QStringLiteral("Unrecognized Dimension"),
            QStringLiteral("The dimension \"%1\" is not recognized for %2 values. One of the following was expected: %3.")
                .arg(value->name(), m_typeName, units.join(QStringLiteral(", "))),
            value->textRange()));
        return false;
    }
    if (m_nonNegative && value->value() < 0) {
        errors.append(makeError(QStringLiteral("Non-Negative Value Required"), QStringLiteral("The value must be greater than or equal to 0."),
            value->textRange(), true));
        return false;
    }
    return true;
}

void KELCSSPropertyDimensionValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (checkType(value, errors))
        checkDimension(value, errors);
}

bool KELCSSPropertyDimensionValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    const QString word = type ? type->toLower() : QString();
    const QStringList units = validUnits();
    if (units.contains(word) || word == m_typeName)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"),
        QStringLiteral("Expected one of the following values for the type parameter in attr(): %1, %2").arg(m_typeName, units.join(QStringLiteral(", "))),
        attr->textRange()));
    return false;
}

QString KELCSSPropertyDimensionValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("Value type <%1> was expected for %2 values, with one of the following dimensions: %3.")
        .arg(QStringLiteral("dimension"), m_typeName, validUnits().join(QStringLiteral(", ")));
}

QString KELCSSPropertyDimensionValueDefinition::shortGenericErrorDescription() const
{
    return QStringLiteral("<%1>").arg(m_typeName);
}
