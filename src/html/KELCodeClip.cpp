#include "html/KELCodeClip.h"

#include <QDataStream>
#include <QIODevice>
#include <optional>

namespace {
constexpr quint32 kArchiveMagic = 0x4b434c41; // "KCLA"
}

QString KELCodeClip::defaultCompletionNameForClipName(const QString& name)
{
    QString out;
    bool capitalise = true;
    for (const QChar c : name) {
        if (c.isLetterOrNumber()) {
            out.append(capitalise ? c.toUpper() : c);
            capitalise = false;
        } else if (c.isSpace()) {
            capitalise = true;
        }
    }
    return out;
}

QString KELCodeClip::validateCompletionName(const QString& value)
{
    if (value.isNull())
        return value;
    for (const QChar c : value)
        if (!c.isLetterOrNumber())
            return defaultCompletionNameForClipName(value);
    return value;
}

void KELCodeClip::setName(const QString& name)
{
    const bool derived = m_completionName.isEmpty() || m_completionName == defaultCompletionNameForClipName(m_name);
    m_name = name;
    if (derived)
        m_completionName = defaultCompletionNameForClipName(name);
}

QVariantMap KELCodeClip::archive() const
{
    return { { QStringLiteral("name"), m_name }, { QStringLiteral("completionName"), m_completionName },
        { QStringLiteral("content"), m_content }, { QStringLiteral("command"), m_command },
        { QStringLiteral("sortOrder"), m_sortOrder } };
}

KELCodeClip KELCodeClip::fromArchive(const QVariantMap& a)
{
    KELCodeClip clip;
    clip.setName(a.value(QStringLiteral("name")).toString());
    if (a.contains(QStringLiteral("completionName")))
        clip.setCompletionName(validateCompletionName(a.value(QStringLiteral("completionName")).toString()));
    clip.setContent(a.value(QStringLiteral("content")).toString());
    clip.setCommand(a.contains(QStringLiteral("command")) ? a.value(QStringLiteral("command")).toInt() : NoCommand);
    clip.setSortOrder(a.value(QStringLiteral("sortOrder")).toLongLong());
    return clip;
}

QVariantMap KELCodeClipGroup::archive(const KELCodeClipGroup& group, const QList<KELCodeClip>& clips)
{
    QVariantList list;
    for (const KELCodeClip& clip : clips)
        list.append(clip.archive());
    return { { QStringLiteral("groupName"), group.groupName() }, { QStringLiteral("default"), group.isDefault() },
        { QStringLiteral("clips"), list } };
}

KELCodeClipGroup KELCodeClipGroup::fromArchive(const QVariantMap& a, QList<KELCodeClip>* clips)
{
    KELCodeClipGroup group;
    group.setGroupName(a.value(QStringLiteral("groupName")).toString());
    group.setDefault(a.value(QStringLiteral("default")).toBool());
    if (clips)
        for (const QVariant& v : a.value(QStringLiteral("clips")).toList())
            clips->append(KELCodeClip::fromArchive(v.toMap()));
    return group;
}

QByteArray codeClipArchivesData(const QVariantList& archives)
{
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << kArchiveMagic << archives;
    return data;
}

std::optional<QVariantList> codeClipArchivesFromData(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    QDataStream stream(data);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    QVariantList list;
    stream >> magic;
    if (stream.status() != QDataStream::Ok || magic != kArchiveMagic)
        return std::nullopt;
    stream >> list;
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    return list;
}
