#pragma once
// One HTML vocabulary: the element names, the tags without a closing tag, the
// inline elements, and one Tag definition per element. Read from table files
// under the resources folder and never changed afterwards.

#include "html/Tag.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <memory>

class TagChecker {
public:
    /// The HTML5 table while "KELShowHTML5Completions" is on, else the HTML 4 table;
    /// the setting is read at every call.
    static TagChecker& currentTagChecker();

    /// A vocabulary read from table files in order (later files may extend earlier ones).
    explicit TagChecker(const QStringList& tablePaths);
    /// The paths of table files in the resources folder.
    static QStringList resourceTablePaths(const QStringList& fileNames);
    virtual ~TagChecker() = default;
    TagChecker(const TagChecker&) = delete;
    TagChecker& operator=(const TagChecker&) = delete;

    /// All element names, lower case, in ascending order.
    const QStringList& tagNames() const { return m_tagNames; }
    /// Tags not paired with a closing tag, with the markup forms "?", "!--" and "!doctype".
    const QStringList& singleTags() const { return m_singleTags; }
    /// Inline and phrase elements.
    const QStringList& nonStructuralTags() const { return m_nonStructuralTags; }
    /// The start tags that end an element whose end tag may be left out (it also ends
    /// with its parent and at the end of the text); null for an element that needs its
    /// end tag.
    const QSet<QString>* impliedEndStartTags(const QString& name) const
    {
        const auto it = m_impliedEnds.constFind(name);
        return it == m_impliedEnds.constEnd() ? nullptr : &*it;
    }

    /// The definition of an element by its lower-case name; null for a name outside tagNames.
    /// h1 to h6 answer one shared definition.
    const Tag* tag(const QString& name) const;
    std::shared_ptr<const Tag> sharedTag(const QString& name) const;

    /// Problems met while reading the tables ("file:line: message"), each also logged.
    const QStringList& loadErrors() const { return m_loadErrors; }

private:
    friend class TagTableReader;
    QStringList m_tagNames;
    QStringList m_singleTags;
    QStringList m_nonStructuralTags;
    QHash<QString, QSet<QString>> m_impliedEnds;
    QHash<QString, std::shared_ptr<Tag>> m_tags;
    QStringList m_loadErrors;
};
