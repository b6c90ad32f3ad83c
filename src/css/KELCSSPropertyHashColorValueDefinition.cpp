#include "css/KELCSSPropertyHashColorValueDefinition.h"

#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QMutex>

using namespace KELCSS;

namespace {
struct DigitCounts {
    QMutex mutex;
    QList<int> counts { 3, 6 };
};
DigitCounts& digitCounts()
{
    static DigitCounts d;
    return d;
}
} // namespace

void KELCSSPropertyHashColorValueDefinition::addValidDigitCounts(const QList<int>& counts)
{
    DigitCounts& d = digitCounts();
    QMutexLocker lock(&d.mutex);
    for (int c : counts)
        if (!d.counts.contains(c))
            d.counts.append(c);
}

void KELCSSPropertyHashColorValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString name = value->name().toLower();
    bool ok;
    {
        DigitCounts& d = digitCounts();
        QMutexLocker lock(&d.mutex);
        ok = d.counts.contains(int(name.size()));
    }
    for (QChar c : name)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            ok = false;
    if (!ok)
        errors.append(makeError(QStringLiteral("Invalid Color Value"),
            QStringLiteral("Colors should be represented as \"#\" followed by either 3 or 6 hexadecimal characters (0 to 9, or 'a' to 'f')."),
            value->textRange(), true));
}

bool KELCSSPropertyHashColorValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    if (!type || type->compare(QLatin1String("color"), Qt::CaseInsensitive) == 0)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"), QStringLiteral("Expected the value \"color\" for the type parameter in attr()."),
        attr->textRange()));
    return false;
}
