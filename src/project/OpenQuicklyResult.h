#pragma once
// One row of the Open Quickly file list: a file name and the documents (open
// documents, files of projects, or files found on the computer) that carry it.

#include "editor/DocumentContents.h"

#include <QList>
#include <QString>
#include <memory>

class OpenQuicklyResult {
public:
    /// An open document, or a file that is not open (its path only: the placeholder
    /// that stands for it is made when the row is shown).
    struct Entry {
        std::shared_ptr<DocumentContents> document;
        QString path;
    };

    explicit OpenQuicklyResult(QString fileName = QString()) : m_fileName(std::move(fileName)) {}

    const QString& fileName() const { return m_fileName; }
    /// The documents of the name, placeholders made for files on first call (main thread).
    const QList<std::shared_ptr<DocumentContents>>& documents() const;
    void setDocuments(QList<std::shared_ptr<DocumentContents>> documents);
    void setEntries(QList<Entry> entries);
    /// The entries as set (any thread: placeholders made for them do not change them).
    const QList<Entry>& entries() const { return m_entries; }
    qsizetype documentCount() const { return m_made ? m_documents.size() : m_entries.size(); }

    /// Results are the same row when their file names are exactly equal.
    bool operator==(const OpenQuicklyResult& other) const { return m_fileName == other.m_fileName; }

    /// Orders the documents of one name: unsaved documents (no file) first, then by
    /// path ignoring case. Answers whether a comes before b.
    static bool compareDocumentsForOpenQuickly(const DocumentContents& a, const DocumentContents& b);
    /// The same order for entries (an entry without a path is an unsaved document).
    static bool compareEntriesForOpenQuickly(const Entry& a, const Entry& b);

private:
    QString m_fileName;
    QList<Entry> m_entries;
    mutable QList<std::shared_ptr<DocumentContents>> m_documents;
    mutable bool m_made = true;
};

using OpenQuicklyResultRef = std::shared_ptr<OpenQuicklyResult>;
