#include "html/VocabularyServices.h"

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "kit/UserDefaults.h"

bool showHTML5Completions()
{
    return kit::UserDefaults::standard().boolValue(QStringLiteral("KELShowHTML5Completions"));
}

bool isHTMLColorName(const QString& lowerCaseName)
{
    return KELCSSPropertyColorValueDefinition::colorNames().contains(lowerCaseName);
}
