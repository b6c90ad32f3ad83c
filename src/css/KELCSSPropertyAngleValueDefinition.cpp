#include "css/KELCSSPropertyAngleValueDefinition.h"

#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <cmath>

using namespace KELCSS;

void KELCSSPropertyAngleValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const qsizetype before = errors.size();
    checkDimension(value, errors);
    if (errors.size() != before)
        return;
    const bool hasMin = m_minDegrees != std::numeric_limits<qint64>::min();
    const bool hasMax = m_maxDegrees != std::numeric_limits<qint64>::max();
    if (!hasMin && !hasMax)
        return;
    const QString unit = value->name().toLower();
    auto convert = [&](double degrees) {
        if (unit == QLatin1String("grad"))
            return degrees * 100.0 / 90.0;
        if (unit == QLatin1String("rad"))
            return degrees * M_PI / 180.0;
        if (unit == QLatin1String("turn"))
            return degrees / 360.0;
        return degrees;
    };
    const double lo = hasMin ? convert(double(m_minDegrees)) : -KELCSSPropertyNumberValueDefinition::Unset;
    const double hi = hasMax ? convert(double(m_maxDegrees)) : KELCSSPropertyNumberValueDefinition::Unset;
    const double v = value->value();
    if (v >= lo && v <= hi)
        return;
    const QString& u = value->name();
    QString text;
    if (hasMin && hasMax)
        text = QStringLiteral("The value \"%1\" must be between %2%3 and %4%3.").arg(value->description(), formatG(lo, 3), u, formatG(hi, 3));
    else if (hasMin)
        text = QStringLiteral("The value \"%1\" must be greater than or equal to %2%3.").arg(value->description(), formatG(lo, 3), u);
    else
        text = QStringLiteral("The value \"%1\" must be less than or equal to %2%3.").arg(value->description(), formatG(hi, 3), u);
    errors.append(makeError(QStringLiteral("Value Not in Valid Range"), text, value->textRange(), true));
}
