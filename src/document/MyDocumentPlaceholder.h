#pragma once
// A file that is not open, seen through DocumentContents: its text is read from
// disk (through the chain of encodings) each time it is asked for.

#include "editor/DocumentContents.h"

#include <QString>
#include <optional>

class MyDocumentPlaceholder : public DocumentContents {
public:
    explicit MyDocumentPlaceholder(const std::optional<QString>& fileName);

    const std::optional<QString>& fileName() const { return m_fileName; }

    /// The whole path.
    QString displayName() const override { return m_fileName.value_or(QString()); }
    QUrl fileURL() const override;
    /// Reads the file again on every call; none when it cannot be read.
    std::optional<QString> docContents() override;
    /// The encoding the file was read with; 0 until read (or when unreadable).
    kit::StringEncoding encoding() override;

    /// Equal to another placeholder of the same file.
    bool isEqualToContents(const DocumentContents& other) const override;
    size_t contentsHash() const override;

private:
    std::optional<QString> m_fileName;
    kit::StringEncoding m_encoding = 0;
};
