#pragma once
// One code clip and one group of clips as the store keeps them, with the rules
// that tie a clip's completion name to its name.

#include <QList>
#include <QString>
#include <QVariantMap>
#include <optional>

class KELCodeClip
{
public:
    /// The command value of a clip without a Ctrl+digit shortcut.
    static constexpr int NoCommand = -1;

    qint64 id() const { return m_id; }
    void setId(qint64 id) { m_id = id; }
    qint64 groupId() const { return m_groupId; }
    void setGroupId(qint64 id) { m_groupId = id; }
    const QString& name() const { return m_name; }
    /// Sets the name; a completion name that was derived from the old name (or is
    /// empty) follows the new one, one the user chose stays.
    void setName(const QString& name);
    const QString& completionName() const { return m_completionName; }
    void setCompletionName(const QString& name) { m_completionName = name; }
    const QString& content() const { return m_content; }
    void setContent(const QString& content) { m_content = content; }
    /// The digit 0 to 9 of the shortcut, or NoCommand.
    int command() const { return m_command; }
    void setCommand(int command) { m_command = (command >= 0 && command <= 9) ? command : NoCommand; }
    qint64 sortOrder() const { return m_sortOrder; }
    void setSortOrder(qint64 order) { m_sortOrder = order; }

    /// Letters and digits of the name, each word capitalised: "my nice clip" gives
    /// "MyNiceClip", "foo-bar" "Foobar".
    static QString defaultCompletionNameForClipName(const QString& name);
    /// A completion name of letters and digits stays; any other is replaced by the
    /// name derived from it. Never refuses.
    static QString validateCompletionName(const QString& value);

    /// The pasteboard form (no id, no group) and back.
    QVariantMap archive() const;
    static KELCodeClip fromArchive(const QVariantMap& archive);

private:
    qint64 m_id = 0;
    qint64 m_groupId = 0;
    QString m_name;
    QString m_completionName;
    QString m_content;
    int m_command = NoCommand;
    qint64 m_sortOrder = 0;
};

class KELCodeClipGroup
{
public:
    qint64 id() const { return m_id; }
    void setId(qint64 id) { m_id = id; }
    const QString& groupName() const { return m_groupName; }
    void setGroupName(const QString& name) { m_groupName = name; }
    bool isDefault() const { return m_default; }
    void setDefault(bool d) { m_default = d; }
    qint64 sortOrder() const { return m_sortOrder; }
    void setSortOrder(qint64 order) { m_sortOrder = order; }

    /// The pasteboard form of a group with its clips, and back.
    static QVariantMap archive(const KELCodeClipGroup& group, const QList<KELCodeClip>& clips);
    static KELCodeClipGroup fromArchive(const QVariantMap& archive, QList<KELCodeClip>* clips);

private:
    qint64 m_id = 0;
    QString m_groupName;
    bool m_default = false;
    qint64 m_sortOrder = 0;
};

/// Pasteboard data of dragged clips and of dragged groups.
inline const QString KELCodeClipsPboardType = QStringLiteral("application/x-kelp-code-clip-records");
inline const QString KELCodeClipGroupsPboardType = QStringLiteral("application/x-kelp-code-clip-groups");
QByteArray codeClipArchivesData(const QVariantList& archives);
/// Null when the data is not such a list.
std::optional<QVariantList> codeClipArchivesFromData(const QByteArray& data);
