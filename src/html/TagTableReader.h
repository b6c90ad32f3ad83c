#pragma once
// Reads the line-based tag tables into a TagChecker. The format is described at
// the top of each table file under resources/.

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class Tag;
class TagAttribute;
class TagChecker;

class TagTableReader {
public:
    explicit TagTableReader(TagChecker& checker);

    /// Reads one file; bad lines are reported and skipped, the rest is kept.
    void readFile(const QString& path);
    /// Gives every element the global attributes, sorts the names and checks that
    /// names and definitions agree. Call once after the last file.
    void finish();

private:
    void readLine(const QString& line);
    void readList(QStringList& list, const QString& text, bool unique);
    void readElement(const QString& text, bool extend);
    void readElements(const QString& sets, const QString& names);
    bool parseAttributes(const QString& text, QList<TagAttribute>& out);
    bool parseNames(const QString& text, QStringList& out, bool allowEmptyList);
    bool addSets(const QString& sets, QList<TagAttribute>& out);
    void addToTag(Tag& tag, const QString& element, const QList<TagAttribute>& attributes, bool replace);
    void addGlobals(const QString& text, bool replace);
    void error(const QString& message);

    TagChecker& m_checker;
    QHash<QString, QList<TagAttribute>> m_sets;
    QList<TagAttribute> m_globals;
    QString m_path;
    int m_lineNumber = 0;
};
