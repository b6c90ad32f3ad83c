#include "html/VocabularyServices.h"

#include "kit/UserDefaults.h"

#include <QColor>

bool showHTML5Completions()
{
    return kit::UserDefaults::standard().boolValue(QStringLiteral("KELShowHTML5Completions"));
}

bool isHTMLColorName(const QString& lowerCaseName)
{
    // Stand-in until the CSS colour-name set is in: the named colours Qt knows
    // (the CSS/SVG names), letters only so that "#fff" and "rgb(...)" stay out.
    if (lowerCaseName.isEmpty())
        return false;
    for (const QChar c : lowerCaseName) {
        if (c < QLatin1Char('a') || c > QLatin1Char('z'))
            return false;
    }
    return QColor::isValidColorName(lowerCaseName);
}
