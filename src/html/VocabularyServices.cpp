#include "html/VocabularyServices.h"

#include "support/DefaultsKeys.h"
#include "support/KELColorUtils.h"
#include "kit/UserDefaults.h"

bool showHTML5Completions()
{
    return kit::UserDefaults::standard().boolValue(KELShowHTML5Completions);
}

bool isHTMLColorName(const QString& lowerCaseName)
{
    return KELColorUtils::knownColorNames().contains(lowerCaseName);
}
