// The character pass that makes a definition file readable as XML. Apart from the
// rest of the definition reading so that the template fuzzer can use it alone.
#include "components/KELComponentDefinition.h"

void KELComponentDefinition::preProcessTcml(QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    bool inTag = false;
    bool inQuote = false;
    QChar quote;
    bool previousAmpersand = false; // the unit before was an "&" left as it was
    const qsizetype n = text.size();
    const auto followedBy = [&text, n](qsizetype i, QLatin1String what) {
        return i + 1 + what.size() <= n && QStringView(text).mid(i + 1, what.size()) == what;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        const bool wasAmpersand = previousAmpersand;
        previousAmpersand = false;
        if (c == QLatin1Char('<')) {
            if (inTag) {
                out += QStringLiteral("&lt;");
            } else if (followedBy(i, QLatin1String("?")) || followedBy(i, QLatin1String("c:")) || followedBy(i, QLatin1String("/c:"))) {
                inTag = true;
                out += c;
            } else if (followedBy(i, QLatin1String("c--"))) {
                // A template comment is one piece up to its "-->": quotes and ">" inside it
                // must not change the state, or later tags would turn into text.
                const qsizetype end = text.indexOf(QStringLiteral("-->"), i + 4);
                out += QStringLiteral("<!--");
                if (end < 0) {
                    out += QStringView(text).mid(i + 4);
                    break;
                }
                out += QStringView(text).mid(i + 4, end + 3 - (i + 4));
                i = end + 2;
            } else {
                out += QStringLiteral("&lt;");
            }
        } else if (inTag && (c == QLatin1Char('\'') || c == QLatin1Char('"'))) {
            if (!inQuote) {
                inQuote = true;
                quote = c;
            } else if (c == quote) {
                inQuote = false;
            }
            out += c;
        } else if (!inQuote && c == QLatin1Char('>')) {
            out += inTag ? QStringLiteral(">") : QStringLiteral("&gt;");
            inTag = false;
        } else if (inQuote && c == QLatin1Char('&') && wasAmpersand) {
            out.chop(1);
            out += QStringLiteral("&amp;&amp;");
        } else {
            out += c;
            previousAmpersand = c == QLatin1Char('&');
        }
    }
    text = out;
}
