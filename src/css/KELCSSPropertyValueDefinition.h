#pragma once
// The frame every value grammar node shares: a node matches value tokens from an
// index, moves the index past what it matched and appends error records; it failed
// exactly when it appended an invalidating error (level 1 without the
// non-invalidating flag).

#include "support/KELSyntaxCheckError.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

using KELSyntaxCheckErrors = QList<KELSyntaxCheckError>;

namespace KELCSS {
/// An error record with its texts and range; level 1 unless `warning`.
KELSyntaxCheckError makeError(const QString& title, const QString& description, kit::Range range,
    bool nonInvalidating = false, bool warning = false);
/// "at-rule" -> "At-Rule", as message titles show item kinds.
QString capitalized(const QString& word);
/// Sorted by character code and joined.
QString sortedJoined(const QStringList& words, const QString& separator);
/// printf's %g for a double.
QString formatG(double value, int precision = 6);
}

class KELCSSPropertyValueDefinition {
public:
    virtual ~KELCSSPropertyValueDefinition() = default;

    static bool validErrorsArray(const KELSyntaxCheckErrors& errors);
    static std::optional<KELParsedCSSValues> parsedValuesWithAttrValueSubstitutions(const KELParsedCSSValues& values);
    static kit::Range joinedTextRange(const KELParsedCSSValues& values);

    /// Matches values from `index` on against this node, appending to `errors`.
    virtual void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const = 0;
    KELSyntaxCheckErrors validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index) const;

    virtual QString displayDescription() const;
    virtual QString displayExpectedValuesDescription() const;
    virtual QString genericErrorDescription() const { return QString(); }
    virtual QString shortGenericErrorDescription() const { return genericErrorDescription(); }
    KELSyntaxCheckError missingValueErrorForValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration) const;

    virtual QString expectedValuesDescription() const { return m_expectedValuesDescription; }
    virtual void setExpectedValuesDescription(const QString& text)
    {
        m_expectedValuesDescription = text;
        m_haveDisplayCache = m_haveExpectedCache = false;
    }

protected:
    /// "Invalid %@ Value" with the node's display description.
    KELSyntaxCheckError invalidValueError(const KELParsedCSSObject* declaration, kit::Range range) const;
    /// Range of the value at index, or an empty range after the last value, or the declaration's range.
    static kit::Range rangeAtIndex(const KELParsedCSSValues& values, qsizetype index, const KELParsedCSSObject* declaration);

private:
    QString m_expectedValuesDescription;
    // Grammar nodes do not change once built; their descriptions are worked out once.
    mutable QString m_displayCache, m_expectedCache;
    mutable bool m_haveDisplayCache = false, m_haveExpectedCache = false;
};
