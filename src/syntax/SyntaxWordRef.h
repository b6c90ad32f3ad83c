#pragma once
// A reference by id to a word of the vocabulary, as a completion names it.

#include <QString>

class SyntaxWordRef
{
public:
    explicit SyntaxWordRef(QString wordId = QString())
        : m_wordId(std::move(wordId))
    {
    }
    static SyntaxWordRef wordRefWithId(const QString& id) { return SyntaxWordRef(id); }
    const QString& wordId() const { return m_wordId; }
    void setWordId(const QString& id) { m_wordId = id; }

private:
    QString m_wordId;
};
