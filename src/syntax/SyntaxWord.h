#pragma once
// A vocabulary word offered by completion.

#include "syntax/StyledText.h"

#include <QString>
#include <memory>
#include <optional>

class SyntaxXMLNode;

class SyntaxWord
{
public:
    SyntaxWord() = default;
    explicit SyntaxWord(const SyntaxXMLNode& node);
    static std::unique_ptr<SyntaxWord> wordWithNode(const SyntaxXMLNode& node)
    {
        return std::make_unique<SyntaxWord>(node);
    }

    const QString& wordId() const { return m_wordId; }
    /// The word as shown; upper case for an "Element" word while the default
    /// "Should Capitalize Tags" is on.
    QString value() const;
    /// The text inserted: the value without its display-only "<!...!>" sections.
    QString insertValue() const;
    /// The insert text as stored, before any change of case.
    const QString& storedInsertValue() const { return m_insertValue; }
    const QString& description() const { return m_description; }
    const QString& type() const { return m_type; }
    const QString& object() const { return m_object; }
    const QString& copyrightRef() const { return m_copyrightRef; }
    const QString& infoUrl() const { return m_infoUrl; }
    const QString& standard() const { return m_standard; }
    bool caseSensitive() const { return m_caseSensitive; }

    void setWordId(const QString& v) { m_wordId = v; }
    /// Also derives the insert text again.
    void setValue(const QString& v);
    void setInsertValue(const QString& v) { m_insertValue = v; }
    void setDescription(const QString& v) { m_description = v; }
    void setType(const QString& v) { m_type = v; }
    void setObject(const QString& v) { m_object = v; }
    void setCopyrightRef(const QString& v) { m_copyrightRef = v; }
    void setInfoUrl(const QString& v) { m_infoUrl = v; }
    void setStandard(const QString& v) { m_standard = v; }
    void setCaseSensitive(bool v) { m_caseSensitive = v; }

    /// The list's text: "object::" in grey first, placeholder and display-only
    /// sections shown by their inner text in grey.
    StyledText displayValue() const;

    /// The insert text of a value: "<!...!>" sections removed when it holds a ">".
    static QString insertValueForValue(const QString& value);

private:
    bool capitalized() const;

    QString m_wordId;
    QString m_value;
    QString m_insertValue;
    QString m_description;
    QString m_type;
    QString m_object;
    QString m_copyrightRef;
    QString m_infoUrl;
    QString m_standard;
    bool m_caseSensitive = true;
};
