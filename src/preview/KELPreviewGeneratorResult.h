#pragma once
// One answer of a preview generator: a string, a file path or data, with the
// text encoding of the file or data (NoEncoding when unknown).

#include "kit/Types.h"

#include <QByteArray>
#include <QString>

class KELPreviewGeneratorResult
{
public:
    static KELPreviewGeneratorResult resultWithContents(const QString& contents);
    static KELPreviewGeneratorResult resultWithLocation(
        const QString& path, kit::StringEncoding encoding = kit::NoEncoding);
    static KELPreviewGeneratorResult resultWithData(
        const QByteArray& data, kit::StringEncoding encoding = kit::NoEncoding);

    const QString& previewFileContents() const { return m_contents; }
    const QString& previewFileLocation() const { return m_location; }
    const QByteArray& previewFileData() const { return m_data; }
    kit::StringEncoding textEncoding() const { return m_textEncoding; }

private:
    QString m_contents;
    QString m_location;
    QByteArray m_data;
    kit::StringEncoding m_textEncoding = kit::NoEncoding;
};
