#pragma once
// Walks the matches of a regular expression in a text, one at a time.

#include "editor/OGRegularExpression.h"

class OGRegularExpressionEnumerator {
public:
    /// The next match, or nothing after the last one (or after a failure).
    std::optional<OGRegularExpressionMatch> nextObject();
    /// The remaining matches.
    QList<OGRegularExpressionMatch> allObjects();
    /// The failure that ended the enumeration early, if any.
    const kit::Error& error() const { return m_error; }

private:
    friend class OGRegularExpression;
    OGRegularExpressionEnumerator(OGRegularExpression expression, QString text, OgreOption options, kit::Range range);

    OGRegularExpression m_expression;
    QString m_text;
    // The text as the engine sees it: lone surrogates replaced (same length).
    QString m_searched;
    OgreOption m_options;
    qsizetype m_position;
    qsizetype m_end;
    bool m_done = false;
    kit::Error m_error;
};
