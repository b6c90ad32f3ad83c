#pragma once
// Typesetting rules of the editor on top of the kit layout: the indent of wrapped
// continuation lines, the break rule inside leading indentation, and the widening of
// a layout range over folds.

#include "kit/Types.h"

#include <QFont>
#include <QString>

namespace kit {
class TextStorage;
}

class KELTypesetter {
public:
    /// Tokens longer than this are laid out on lines of their own.
    static constexpr qsizetype LargeTokenLimit = 3000;

    void setIndentWrappedLines(bool on) { m_indentWrapped = on; }
    bool indentWrappedLines() const { return m_indentWrapped; }
    /// The indentation unit: a tab or a number of spaces.
    void setIndentUnit(const QString& unit) { m_unit = unit.isEmpty() ? QStringLiteral("\t") : unit; }
    const QString& indentUnit() const { return m_unit; }

    /// Width of the leading indentation of the line holding start when it is below 75%
    /// of the container; 0 otherwise or when the setting is off.
    qreal wrappedLineIndent(const kit::TextStorage* ts, kit::Range paragraph, const QFont& font, qreal tabWidth,
                            qreal containerWidth) const;
    /// Never break inside the indentation that starts a real line.
    bool shouldBreakLineByWordBeforeCharacterAtIndex(const kit::TextStorage* ts, qsizetype index) const;
    /// Widens a range over folds and the paragraphs at their ends.
    kit::Range typesetParagraphRangeForTextRange(const kit::TextStorage* ts, kit::Range range) const;

private:
    bool m_indentWrapped = true;
    QString m_unit = QStringLiteral("\t");
};
