#pragma once
// One search request: the user's search text and file patterns turned into regular
// expressions by the pattern kind chosen (0 literal, 1 simple wildcards, 2 as written),
// and, for batch find, the texts to search.

#include "editor/OGRegularExpression.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class DocumentContents;

/// Pattern kinds as stored in the defaults; any other value is read as Advanced.
enum FindRegexType : qint64 { FindRegexTypeNone = 0, FindRegexTypeSimple = 1, FindRegexTypeAdvanced = 2 };

class FindParameters
{
public:
    FindParameters() = default;
    FindParameters(const QString& searchString, const std::optional<QString>& fileString, OgreOption options,
        qint64 searchRegexType, qint64 fileRegexType);

    /// The pattern for a search text of a kind; with commaDelimited each comma-separated
    /// piece becomes one trimmed alternative.
    static QString getRegexForSearchString(const QString& string, qint64 regexType, bool commaDelimited);

    /// The search expression, none when the engine refuses the pattern.
    std::optional<OGRegularExpression> findExpression() const;
    /// The file-name expression (whole names, case ignored), none when refused.
    std::optional<OGRegularExpression> fileExpression() const;

    const QString& searchString() const { return m_searchString; }
    const std::optional<QString>& fileString() const { return m_fileString; }
    OgreOption options() const { return m_options; }
    qint64 searchRegexType() const { return m_searchRegexType; }
    qint64 fileRegexType() const { return m_fileRegexType; }
    const QList<std::shared_ptr<DocumentContents>>& documents() const { return m_documents; }
    void setDocuments(const QList<std::shared_ptr<DocumentContents>>& documents) { m_documents = documents; }

private:
    QString m_searchString;
    std::optional<QString> m_fileString;
    OgreOption m_options = OgreNoneOption;
    qint64 m_searchRegexType = FindRegexTypeAdvanced;
    qint64 m_fileRegexType = FindRegexTypeAdvanced;
    QList<std::shared_ptr<DocumentContents>> m_documents;
};
