#include "support/KELComponentChecksum.h"

#include <QFile>

quint32 KELComponentChecksum::computeChecksum(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    quint32 sum = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char byte = bytes.at(i);
        if (byte == 0)
            break;
        const auto value = quint32(qint32(qint8(byte)));
        sum += value << (i % 24);
    }
    return sum;
}

void KELComponentChecksum::appendChecksum(QString& text)
{
    text += QStringLiteral("\n\n/* The checksum below is for internal use by Kelp Studio, \n   to detect if a component file has been modified.\n");
    const quint32 sum = computeChecksum(text);
    text += QStringLiteral("   %1%2 */").arg(ChecksumKey, QString::number(sum, 16).toUpper());
}

bool KELComponentChecksum::verifyChecksumForFileContents(const std::optional<QString>& text)
{
    if (!text)
        return false;
    const qsizetype lastLineFeed = text->lastIndexOf(QLatin1Char('\n'));
    if (lastLineFeed < 0 || lastLineFeed + 1 >= text->size())
        return false;
    const QStringView tail = QStringView(*text).mid(lastLineFeed + 1);
    const qsizetype marker = tail.indexOf(ChecksumKey);
    if (marker < 0)
        return false;
    // Read hexadecimal digits right after the key, as a scanner would (0 when none).
    quint64 number = 0;
    for (QChar c : tail.mid(marker + ChecksumKey.size())) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0)
            break;
        number = (number << 4) | quint64(digit);
    }
    return computeChecksum(text->left(lastLineFeed + 1)) == quint32(number);
}

bool KELComponentChecksum::verifyChecksumForFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return verifyChecksumForFileContents(QString::fromUtf8(file.readAll()));
}
