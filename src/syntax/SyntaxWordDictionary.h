#pragma once
// The words of a syntax type, by id: inline in the definition, or read from a
// vocabulary file the first time any word is asked for.

#include "syntax/SyntaxWord.h"

#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class SyntaxXMLNode;

class SyntaxWordDictionary
{
public:
    SyntaxWordDictionary()
        : m_hasInited(true)
    {
    }
    /// Lazy: the file "Vocabulary/<fileName>" is read on first use.
    explicit SyntaxWordDictionary(const QString& fileName)
        : m_fileName(fileName)
    {
    }
    /// Reads the element's word children at once.
    explicit SyntaxWordDictionary(const SyntaxXMLNode& node);

    const QString& fileName() const { return m_fileName; }
    bool hasInited() const { return m_hasInited; }

    qsizetype count() const;
    /// The word of that id, or null.
    const SyntaxWord* objectForKey(const QString& wordId) const;
    QStringList allKeys() const;
    void setObject(std::unique_ptr<SyntaxWord> word, const QString& wordId);
    void removeObjectForKey(const QString& wordId);

private:
    void lazyInit() const;
    void readWords(const SyntaxXMLNode& root, const QString& sourceName) const;

    QString m_fileName;
    mutable bool m_hasInited = false;
    mutable std::map<QString, std::unique_ptr<SyntaxWord>> m_dict;
};
