#pragma once
// Helpers for the CSS checker tests: run the checker over text and describe
// the errors it reports in a form that is easy to compare.

#include "css/KELCSSSpec.h"
#include "css/KELSyntaxCheckTypeCSS.h"

#include <QStringList>
#include <ostream>
#include <string>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace csstest {

inline KELSyntaxCheckErrors checkSheet(const QString& css, QVariantMap* userInfo = nullptr)
{
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeCSS parser;
    parser.parseText(css, kit::Range(0, css.size()), &errors, userInfo);
    return errors;
}

inline KELSyntaxCheckErrors checkStyleAttribute(const QString& css, QVariantMap* userInfo = nullptr)
{
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeCSS parser;
    parser.checkForStyleAttributeErrors(css, kit::Range(0, css.size()), &errors, userInfo);
    return errors;
}

/// The values of "name: value" as the parser reads them, kept alive by `holder`.
inline KELParsedCSSValues parseValues(const QString& value, std::unique_ptr<KELParsedCSSDeclaration>& holder)
{
    static QString text; // the declaration keeps no reference to the text
    text = QStringLiteral("x: ") + value;
    KELSyntaxCheckTypeCSS parser;
    qsizetype index = 0;
    holder = parser.parseDeclarationAtIndex(index, text.size(), text, nullptr);
    return holder ? holder->propertyValues() : KELParsedCSSValues();
}

/// "W:" for warnings, "E:" for invalidating errors, "e:" for non-invalidating errors.
inline QString describe(const KELSyntaxCheckError& e)
{
    const QString kind = e.level() == 0 ? QStringLiteral("W") : (e.nonInvalidatingError() ? QStringLiteral("e") : QStringLiteral("E"));
    return kind + QStringLiteral(": ") + e.title() + QStringLiteral(" / ") + e.description();
}

inline QStringList titles(const KELSyntaxCheckErrors& errors)
{
    QStringList list;
    for (const KELSyntaxCheckError& e : errors)
        list.append(e.title());
    return list;
}

inline std::string dump(const KELSyntaxCheckErrors& errors)
{
    QStringList list;
    for (const KELSyntaxCheckError& e : errors)
        list.append(describe(e) + QStringLiteral(" @%1+%2").arg(e.textRange().location).arg(e.textRange().length));
    return list.join(QLatin1Char('\n')).toStdString();
}

} // namespace csstest

namespace csstest {

/// Matches "x: value" against a grammar written in the grammar notation.
struct Match {
    QStringList messages; // describe() of each error
    qsizetype consumed = 0;
    qsizetype count = 0; // number of values
    bool valid = false;
};

inline Match match(const QString& notation, const QString& value)
{
    Match m;
    QString error;
    const KELCSSPropertyValueDefinition* def = KELCSSSpec::sharedInstance().compileForTesting(notation, &error);
    if (!def) {
        m.messages.append(QStringLiteral("grammar: ") + error);
        return m;
    }
    std::unique_ptr<KELParsedCSSDeclaration> holder;
    const KELParsedCSSValues values = parseValues(value, holder);
    KELSyntaxCheckErrors errors;
    def->validateParsedValues(values, holder.get(), m.consumed, errors);
    for (const KELSyntaxCheckError& e : errors)
        m.messages.append(describe(e));
    m.count = values.size();
    m.valid = KELCSSPropertyValueDefinition::validErrorsArray(errors);
    return m;
}

} // namespace csstest
