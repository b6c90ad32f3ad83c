#pragma once
// The characters a colouring pass reads, by index into the whole text.
//
// Backed by a text storage, reads go through the storage's typing gap: a pass after a
// keystroke reads the few hundred characters it needs and the storage keeps its gap
// at the caret, instead of closing it (moving everything after the caret) so that the
// pass could hold one contiguous string. Backed by a string (checks, completion,
// tests), reads go to the string.

#include "kit/text/TextStorage.h"

#include <QString>
#include <QStringView>

class SyntaxText
{
public:
    /// Reads the string, which must outlive this object.
    SyntaxText(const QString& string) : m_string(&string) {}
    /// Reads the storage's characters as they are at each read.
    explicit SyntaxText(const kit::TextStorage* storage) : m_storage(storage) {}

    qsizetype size() const { return m_storage ? m_storage->length() : m_string->size(); }
    /// The character at i; a null character outside the text.
    QChar at(qsizetype i) const
    {
        if (m_storage)
            return m_storage->characterAt(i);
        return i >= 0 && i < m_string->size() ? m_string->at(i) : QChar();
    }
    /// What backs the text: a storage, else a string.
    const kit::TextStorage* storage() const { return m_storage; }
    const QString* string() const { return m_string; }
    /// A copy of part of the text (clipped to it).
    QString mid(qsizetype from, qsizetype length) const;
    /// Whether `what` stands at i.
    bool matchesAt(qsizetype i, QStringView what) const;
    /// Where `what` last begins at or before `from` (-1 when nowhere).
    qsizetype lastIndexOf(QStringView what, qsizetype from) const;

private:
    const QString* m_string = nullptr;
    const kit::TextStorage* m_storage = nullptr;
};
