#include "checker/KELSyntaxCheckTypeCSSCheck.h"

#include "css/KELSyntaxCheckTypeCSS.h"

KELSyntaxCheckTypeCSSCheck& KELSyntaxCheckTypeCSSCheck::sharedInstance()
{
    static KELSyntaxCheckTypeCSSCheck instance;
    return instance;
}

void KELSyntaxCheckTypeCSSCheck::checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeResult* typeResult = result.typeResultForType(typeName());
    KELSyntaxCheckTypeCSS::sharedInstance().parseText(text, range, &errors, &typeResult->userInfo());
    typeResult->addErrors(errors);
}

void KELSyntaxCheckTypeCSSCheck::checkForStyleAttributeErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range,
    bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeResult* typeResult = result.typeResultForType(typeName());
    KELSyntaxCheckTypeCSS::sharedInstance().checkForStyleAttributeErrors(text, range, &errors, &typeResult->userInfo());
    typeResult->addErrors(errors);
}
