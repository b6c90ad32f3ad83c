#include "syntax/SyntaxWordDictionary.h"

#include "kit/Log.h"
#include "kit/Resources.h"
#include "syntax/SyntaxXML.h"

SyntaxWordDictionary::SyntaxWordDictionary(const SyntaxXMLNode& node)
    : m_hasInited(true)
{
    readWords(node, QString());
}

void SyntaxWordDictionary::readWords(const SyntaxXMLNode& root, const QString& sourceName) const
{
    for (const SyntaxXMLNode& child : root.childNodes()) {
        if (!child.isElement())
            continue;
        auto word = SyntaxWord::wordWithNode(child);
        if (word->wordId().isEmpty()) {
            kit::log(QStringLiteral("word with no id: %1").arg(sourceName));
            continue;
        }
        const QString id = word->wordId();
        if (m_dict.count(id))
            kit::log(QStringLiteral("duplicate word key: %1 %2").arg(sourceName, id));
        m_dict[id] = std::move(word);
    }
}

void SyntaxWordDictionary::lazyInit() const
{
    if (m_hasInited)
        return;
    m_hasInited = true; // a failed read is not retried
    if (m_fileName.isEmpty())
        return;
    const QString path = kit::resourcePath(QStringLiteral("Vocabulary/") + m_fileName);
    if (path.isEmpty())
        return;
    SyntaxXMLDocument doc(path);
    if (!doc.isValid()) {
        kit::log(QStringLiteral("Vocab Document could not be created: %1").arg(path));
        return;
    }
    readWords(doc.rootNode(), m_fileName);
}

qsizetype SyntaxWordDictionary::count() const
{
    lazyInit();
    return qsizetype(m_dict.size());
}

const SyntaxWord* SyntaxWordDictionary::objectForKey(const QString& wordId) const
{
    lazyInit();
    const auto it = m_dict.find(wordId);
    return it == m_dict.end() ? nullptr : it->second.get();
}

QStringList SyntaxWordDictionary::allKeys() const
{
    lazyInit();
    QStringList keys;
    for (const auto& [k, v] : m_dict)
        keys.append(k);
    return keys;
}

void SyntaxWordDictionary::setObject(std::unique_ptr<SyntaxWord> word, const QString& wordId)
{
    lazyInit();
    m_dict[wordId] = std::move(word);
}

void SyntaxWordDictionary::removeObjectForKey(const QString& wordId)
{
    lazyInit();
    m_dict.erase(wordId);
}
