#pragma once
// The outcome of one check run: the errors of every checked language, each with
// a flag telling whether its positions refer to the document's own text or to
// the generated page the checks ran over.

#include "support/KELSyntaxCheckError.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>
#include <optional>

class KELSyntaxCheckTypeResult {
public:
    explicit KELSyntaxCheckTypeResult(const QString& typeName = QString()) : m_typeName(typeName) { }

    const QString& typeName() const { return m_typeName; }
    const QList<KELSyntaxCheckError>& errors() const { return m_errors; }
    QList<KELSyntaxCheckError>& mutableErrors() { return m_errors; }
    void addErrors(const QList<KELSyntaxCheckError>& errors) { m_errors += errors; }
    void addError(const KELSyntaxCheckError& error) { m_errors.append(error); }
    /// False: positions in the document's own text; true: in the generated text.
    bool usesGeneratedSourceText() const { return m_usesGeneratedSourceText; }
    void setUsesGeneratedSourceText(bool flag) { m_usesGeneratedSourceText = flag; }
    /// Notes that last across every check of this language in one run.
    QVariantMap& userInfo() { return m_userInfo; }

    /// "PHP" 0, "HTML" 1, "CSS" 2, "JavaScript" 3, anything else 4.
    static int displayOrderForType(const QString& typeName);
    int compareForDisplay(const KELSyntaxCheckTypeResult& other) const;
    QList<KELSyntaxCheckError> errorsWithLevel(qint32 level) const;

private:
    QString m_typeName;
    QList<KELSyntaxCheckError> m_errors;
    bool m_usesGeneratedSourceText = false;
    QVariantMap m_userInfo;
};

class KELSyntaxCheckResult {
public:
    /// Makes sure the language is listed (a clean language shows with no errors) and
    /// sets where its positions refer to.
    void establishType(const QString& typeName, bool usesGeneratedSourceText);
    void addErrors(const QList<KELSyntaxCheckError>& errors, const QString& typeName);
    void addError(const KELSyntaxCheckError& error, const QString& typeName);

    const QMap<QString, KELSyntaxCheckTypeResult>& typeResults() const { return m_typeResults; }
    /// PHP, HTML, CSS, JavaScript, then the others.
    QList<KELSyntaxCheckTypeResult> orderedTypeResults() const;
    const KELSyntaxCheckTypeResult* typeResultForType(const QString& typeName) const;
    KELSyntaxCheckTypeResult* typeResultForType(const QString& typeName);

    /// The errors of every language whose positions refer to the given text, in
    /// display order of the languages and stored order within one.
    QList<KELSyntaxCheckError> errorsFromSourceText(bool generated) const;
    /// Fills in missing line numbers and ranges: the document's errors against its
    /// text, the generated text's against that text.
    void populateLocations(const QString& documentText);

    const std::optional<QString>& generatedSourceText() const { return m_generatedSourceText; }
    void setGeneratedSourceText(const std::optional<QString>& text) { m_generatedSourceText = text; }

private:
    QList<const KELSyntaxCheckTypeResult*> orderedPointers() const;

    QMap<QString, KELSyntaxCheckTypeResult> m_typeResults;
    std::optional<QString> m_generatedSourceText;
};
