#include "editor/KELCodeClipSource.h"

#include <QDataStream>
#include <QIODevice>

namespace {
KELCodeClipSource* g_source = nullptr;
constexpr quint32 kClipDataMagic = 0x4b434c50; // "KCLP"
}

KELCodeClipSource* KELCodeClipSource::shared()
{
    return g_source;
}

void KELCodeClipSource::setShared(KELCodeClipSource* source)
{
    g_source = source;
}

QByteArray codeClipsContentData(const QStringList& contents)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << kClipDataMagic << contents;
    return data;
}

std::optional<QStringList> codeClipsFromContentData(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    QDataStream stream(data);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    QStringList contents;
    stream >> magic >> contents;
    if (stream.status() != QDataStream::Ok || magic != kClipDataMagic)
        return std::nullopt;
    return contents;
}
