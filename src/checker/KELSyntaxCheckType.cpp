#include "checker/KELSyntaxCheckType.h"

#include "checker/KELSyntaxCheckTypeCSSCheck.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "checker/KELSyntaxCheckTypeJavaScript.h"

#include <QHash>

KELSyntaxCheckType* KELSyntaxCheckType::typeCheckerForType(const QString& typeName)
{
    static const QHash<QString, KELSyntaxCheckType*> registry {
        { QStringLiteral("HTML"), &KELSyntaxCheckTypeHTML::sharedInstance() },
        { QStringLiteral("JavaScript"), &KELSyntaxCheckTypeJavaScript::sharedInstance() },
        { QStringLiteral("CSS"), &KELSyntaxCheckTypeCSSCheck::sharedInstance() },
    };
    return registry.value(typeName, nullptr);
}

void KELSyntaxCheckType::checkForErrors(KELSyntaxCheckResult& result, const QString& text, bool generatedSource)
{
    checkForErrors(result, text, kit::Range(0, text.size()), generatedSource);
}

void KELSyntaxCheckType::checkForErrors(KELSyntaxCheckResult&, const QString&, kit::Range, bool)
{
}
