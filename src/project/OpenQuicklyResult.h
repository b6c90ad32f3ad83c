#pragma once
// One row of the Open Quickly file list: a file name and the documents (open
// documents, files of projects, or files found on the computer) that carry it.

#include "editor/DocumentContents.h"

#include <QList>
#include <QString>
#include <memory>

class OpenQuicklyResult {
public:
    explicit OpenQuicklyResult(QString fileName = QString()) : m_fileName(std::move(fileName)) {}

    const QString& fileName() const { return m_fileName; }
    const QList<std::shared_ptr<DocumentContents>>& documents() const { return m_documents; }
    void setDocuments(QList<std::shared_ptr<DocumentContents>> documents) { m_documents = std::move(documents); }

    /// Results are the same row when their file names are exactly equal.
    bool operator==(const OpenQuicklyResult& other) const { return m_fileName == other.m_fileName; }

    /// Orders the documents of one name: unsaved documents (no file) first, then by
    /// path ignoring case. Answers whether a comes before b.
    static bool compareDocumentsForOpenQuickly(const DocumentContents& a, const DocumentContents& b);

private:
    QString m_fileName;
    QList<std::shared_ptr<DocumentContents>> m_documents;
};

using OpenQuicklyResultRef = std::shared_ptr<OpenQuicklyResult>;
