#pragma once
// One error or warning found by a check: what it is and where it stands in the
// checked text. Every check, the gutter and the checker window share this record.

#include "kit/Types.h"

#include <QList>
#include <QString>

class KELSyntaxCheckError {
public:
    enum Level : qint32 { Warning = 0, Error = 1 };

    /// A new record: level 1, no position (range location NotFound, line 0), no texts.
    static KELSyntaxCheckError error() { return KELSyntaxCheckError(); }

    const QString& documentPath() const { return m_documentPath; }
    void setDocumentPath(const QString& path) { m_documentPath = path; }
    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const QString& description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }
    qint32 level() const { return m_level; }
    void setLevel(qint32 level) { m_level = level; }
    quint64 lineNumber() const { return m_lineNumber; }
    void setLineNumber(quint64 line) { m_lineNumber = line; }
    kit::Range textRange() const { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }
    qsizetype textRangeLocation() const { return m_textRange.location; }
    bool nonInvalidatingError() const { return m_nonInvalidatingError; }
    void setNonInvalidatingError(bool flag) { m_nonInvalidatingError = flag; }

    /// The copy the gutter and window keep: no document path, and the flag cleared
    /// (a copy is shown, never validated again).
    KELSyntaxCheckError copy() const;

    /// Ascending by line number; -1, 0 or 1.
    static int compareByLineNumber(const KELSyntaxCheckError& a, const KELSyntaxCheckError& b);
    /// Ascending by range location; records without a location come first.
    static int compareByTextLocation(const KELSyntaxCheckError& a, const KELSyntaxCheckError& b);

    /// Gives every record that has only a range its line number, and every record
    /// that has only a line number that line's range (terminator included), in one
    /// pass over the lines of the source.
    static void populateLocationsOfErrors(const QList<KELSyntaxCheckError*>& errors, const QString& source);
    static void populateLocationsOfErrors(QList<KELSyntaxCheckError>& errors, const QString& source);

    bool operator==(const KELSyntaxCheckError&) const = default;

private:
    KELSyntaxCheckError() = default;

    QString m_documentPath;
    QString m_title;
    QString m_description;
    qint32 m_level = Error;
    quint64 m_lineNumber = 0;
    kit::Range m_textRange { kit::NotFound, 0 };
    bool m_nonInvalidatingError = false;
};
