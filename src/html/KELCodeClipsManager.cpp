#include "html/KELCodeClipsManager.h"

#include "kit/Alert.h"
#include "kit/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <sqlite3.h>

namespace {

constexpr int SchemaVersion = 1;

std::unique_ptr<KELCodeClipsManager>& sharedSlot()
{
    static std::unique_ptr<KELCodeClipsManager> manager;
    return manager;
}

// One prepared statement; finalised when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
            kit::log(QStringLiteral("Code Clips statement failed: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool isValid() const { return m_stmt; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const QString& s)
    {
        if (s.isNull()) {
            sqlite3_bind_null(m_stmt, i);
            return;
        }
        const QByteArray utf8 = s.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    qint64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

template <typename T> void sortBySortOrder(QList<T>& list)
{
    std::stable_sort(list.begin(), list.end(), [](const T& a, const T& b) {
        return a.sortOrder() != b.sortOrder() ? a.sortOrder() < b.sortOrder() : a.id() < b.id();
    });
}

} // namespace

KELCodeClipsManager& KELCodeClipsManager::sharedInstance()
{
    std::unique_ptr<KELCodeClipsManager>& slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<KELCodeClipsManager>(defaultStorePath());
    return *slot;
}

void KELCodeClipsManager::resetSharedInstanceForTesting(const QString& storePath)
{
    std::unique_ptr<KELCodeClipsManager>& slot = sharedSlot();
    slot.reset();
    QString path = storePath;
    if (path.isEmpty()) {
        static QTemporaryDir dir;
        static int count = 0;
        path = dir.filePath(QStringLiteral("CodeClips-%1.sqlite3").arg(++count));
    }
    slot = std::make_unique<KELCodeClipsManager>(path);
}

QString KELCodeClipsManager::defaultStorePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("CodeClips.sqlite3"));
}

KELCodeClipsManager::KELCodeClipsManager(const QString& storePath, QObject* parent)
    : QObject(parent)
    , m_storePath(storePath)
{
    const QString folder = QFileInfo(storePath).absolutePath();
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
    QString problem;
    m_writable = openStore(storePath, &problem);
    if (!m_writable) {
        kit::log(QStringLiteral("Error generating persistent store for Code Clips: %1").arg(problem));
        // Keep the unreadable file (the user's clips may still be in it) and start afresh.
        QString aside = storePath + QStringLiteral("-%1").arg(QDateTime::currentSecsSinceEpoch());
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = storePath + QStringLiteral("-%1-%2").arg(QDateTime::currentSecsSinceEpoch()).arg(n);
        if (QFileInfo::exists(storePath) && !QFile::rename(storePath, aside))
            kit::log(QStringLiteral("Could not move the Code Clips file aside: %1").arg(storePath));
        QFile::remove(storePath + QStringLiteral("-journal"));
        m_writable = openStore(storePath, &problem);
        if (!m_writable) {
            kit::log(
                QStringLiteral("Error generating persistent store for Code Clips on second attempt: %1").arg(problem));
            // Clips made in this session still work; they cannot outlive it.
            openStore(QStringLiteral(":memory:"), &problem);
        }
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("The Code Clips file could not be read."));
        QString info = QStringLiteral("Please, contact Kelp Software support if this problem persists.");
        if (!m_writable)
            info += QStringLiteral("\n\nCode clips cannot be saved in this session.");
        alert.setInformativeText(info);
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    load();
    defaultGroup();
}

KELCodeClipsManager::~KELCodeClipsManager()
{
    if (m_db)
        sqlite3_close(m_db);
}

bool KELCodeClipsManager::exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        kit::log(QStringLiteral("Could not save Code Clips: %1").arg(QString::fromUtf8(message ? message : "")));
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool KELCodeClipsManager::openStore(const QString& path, QString* problem)
{
    if (m_db) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        *problem = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    auto fail = [&](const QString& why) {
        *problem = why;
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    };
    sqlite3_busy_timeout(m_db, 2000);
    {
        Statement check(m_db, "PRAGMA quick_check");
        if (!check.isValid() || check.step() != SQLITE_ROW || check.text(0) != QLatin1String("ok"))
            return fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
    qint64 version = -1;
    {
        Statement v(m_db, "PRAGMA user_version");
        if (v.step() == SQLITE_ROW)
            version = v.integer(0);
    }
    if (version == 0) {
        Statement tables(m_db, "SELECT count(*) FROM sqlite_master");
        if (tables.step() != SQLITE_ROW || tables.integer(0) != 0)
            return fail(QStringLiteral("the file holds other data"));
        const char* schema = "BEGIN;"
                             "CREATE TABLE clip_group(id INTEGER PRIMARY KEY, group_name TEXT,"
                             " is_default INTEGER NOT NULL DEFAULT 0, sort_order INTEGER NOT NULL DEFAULT 0);"
                             "CREATE TABLE clip(id INTEGER PRIMARY KEY,"
                             " group_id INTEGER NOT NULL REFERENCES clip_group(id) ON DELETE CASCADE,"
                             " name TEXT, completion_name TEXT, content TEXT,"
                             " command INTEGER NOT NULL DEFAULT -1, sort_order INTEGER NOT NULL DEFAULT 0);"
                             "CREATE INDEX clip_by_group ON clip(group_id);"
                             "PRAGMA user_version = 1;"
                             "COMMIT;";
        if (!exec(schema))
            return fail(QString::fromUtf8(sqlite3_errmsg(m_db)));
    } else if (version != SchemaVersion) {
        return fail(QStringLiteral("unknown store version %1").arg(version));
    }
    exec("PRAGMA foreign_keys = ON");
    exec("PRAGMA synchronous = FULL");
    return true;
}

void KELCodeClipsManager::load()
{
    m_groups.clear();
    m_clips.clear();
    if (!m_db)
        return;
    Statement groups(m_db, "SELECT id, group_name, is_default, sort_order FROM clip_group");
    while (groups.step() == SQLITE_ROW) {
        KELCodeClipGroup g;
        g.setId(groups.integer(0));
        g.setGroupName(groups.text(1));
        g.setDefault(groups.integer(2) != 0);
        g.setSortOrder(groups.integer(3));
        m_groups.insert(g.id(), g);
    }
    Statement clips(m_db, "SELECT id, group_id, name, completion_name, content, command, sort_order FROM clip");
    while (clips.step() == SQLITE_ROW) {
        KELCodeClip c;
        c.setId(clips.integer(0));
        c.setGroupId(clips.integer(1));
        c.setName(clips.text(2));
        c.setCompletionName(clips.text(3));
        c.setContent(clips.text(4));
        c.setCommand(int(clips.integer(5)));
        c.setSortOrder(clips.integer(6));
        if (m_groups.contains(c.groupId()))
            m_clips.insert(c.id(), c);
    }
}

void KELCodeClipsManager::changed() { Q_EMIT clipsChanged(); }

void KELCodeClipsManager::writeClip(const KELCodeClip& c)
{
    Statement s(m_db,
        "UPDATE clip SET group_id = ?, name = ?, completion_name = ?, content = ?, command = ?, sort_order = ?"
        " WHERE id = ?");
    s.bind(1, c.groupId());
    s.bind(2, c.name());
    s.bind(3, c.completionName());
    s.bind(4, c.content());
    s.bind(5, qint64(c.command()));
    s.bind(6, c.sortOrder());
    s.bind(7, c.id());
    if (s.step() != SQLITE_DONE)
        kit::log(QStringLiteral("Could not save Code Clips: %1").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void KELCodeClipsManager::writeGroup(const KELCodeClipGroup& g)
{
    Statement s(m_db, "UPDATE clip_group SET group_name = ?, is_default = ?, sort_order = ? WHERE id = ?");
    s.bind(1, g.groupName());
    s.bind(2, qint64(g.isDefault()));
    s.bind(3, g.sortOrder());
    s.bind(4, g.id());
    if (s.step() != SQLITE_DONE)
        kit::log(QStringLiteral("Could not save Code Clips: %1").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
}

QList<KELCodeClipGroup> KELCodeClipsManager::groups() const
{
    QList<KELCodeClipGroup> list = m_groups.values();
    sortBySortOrder(list);
    return list;
}

std::optional<KELCodeClipGroup> KELCodeClipsManager::group(qint64 id) const
{
    auto it = m_groups.constFind(id);
    return it == m_groups.constEnd() ? std::nullopt : std::optional<KELCodeClipGroup>(*it);
}

KELCodeClipGroup KELCodeClipsManager::defaultGroup()
{
    const QList<KELCodeClipGroup> all = groups();
    for (const KELCodeClipGroup& g : all)
        if (g.isDefault())
            return g;
    KELCodeClipGroup g;
    g.setGroupName(QStringLiteral("(Default)"));
    g.setDefault(true);
    g.setSortOrder(0);
    Statement s(m_db, "INSERT INTO clip_group(group_name, is_default, sort_order) VALUES (?, 1, 0)");
    s.bind(1, g.groupName());
    if (s.step() != SQLITE_DONE)
        kit::log(QStringLiteral("Could not save Code Clips: %1").arg(QString::fromUtf8(sqlite3_errmsg(m_db))));
    g.setId(sqlite3_last_insert_rowid(m_db));
    m_groups.insert(g.id(), g);
    changed();
    return g;
}

QString KELCodeClipsManager::untitledName(const QStringList& taken) const
{
    const QString base = QStringLiteral("Untitled");
    if (!taken.contains(base))
        return base;
    for (int n = 2; n <= 999; ++n) {
        const QString name = QStringLiteral("Untitled %1").arg(n);
        if (!taken.contains(name))
            return name;
    }
    return base;
}

KELCodeClipGroup KELCodeClipsManager::newGroup()
{
    QList<KELCodeClipGroup> all = groups();
    QStringList names;
    exec("BEGIN");
    for (qsizetype i = 0; i < all.size(); ++i) {
        names.append(all[i].groupName());
        if (all[i].sortOrder() != i) {
            all[i].setSortOrder(i);
            m_groups[all[i].id()].setSortOrder(i);
            writeGroup(all[i]);
        }
    }
    KELCodeClipGroup g;
    g.setGroupName(untitledName(names));
    g.setSortOrder(all.size());
    Statement s(m_db, "INSERT INTO clip_group(group_name, is_default, sort_order) VALUES (?, 0, ?)");
    s.bind(1, g.groupName());
    s.bind(2, g.sortOrder());
    s.step();
    g.setId(sqlite3_last_insert_rowid(m_db));
    exec("COMMIT");
    m_groups.insert(g.id(), g);
    changed();
    return g;
}

KELCodeClipGroup KELCodeClipsManager::insertGroup(
    const KELCodeClipGroup& archived, const QList<KELCodeClip>& clips, qsizetype position)
{
    QList<KELCodeClipGroup> all = groups();
    position = std::clamp<qsizetype>(position, 0, all.size());
    exec("BEGIN");
    KELCodeClipGroup g = archived;
    // There is one default group: a copy of it is an ordinary group.
    if (g.isDefault() && std::any_of(all.begin(), all.end(), [](const auto& x) { return x.isDefault(); }))
        g.setDefault(false);
    Statement s(m_db, "INSERT INTO clip_group(group_name, is_default, sort_order) VALUES (?, ?, ?)");
    s.bind(1, g.groupName());
    s.bind(2, qint64(g.isDefault()));
    s.bind(3, qint64(position));
    s.step();
    g.setId(sqlite3_last_insert_rowid(m_db));
    g.setSortOrder(position);
    all.insert(position, g);
    for (qsizetype i = 0; i < all.size(); ++i) {
        all[i].setSortOrder(i);
        m_groups[all[i].id()] = all[i];
        writeGroup(all[i]);
    }
    qint64 order = 0;
    for (KELCodeClip c : clips) {
        Statement ins(m_db,
            "INSERT INTO clip(group_id, name, completion_name, content, command, sort_order) VALUES (?, ?, ?, ?, ?, ?)");
        ins.bind(1, g.id());
        ins.bind(2, c.name());
        ins.bind(3, c.completionName());
        ins.bind(4, c.content());
        ins.bind(5, qint64(c.command()));
        ins.bind(6, order);
        ins.step();
        c.setId(sqlite3_last_insert_rowid(m_db));
        c.setGroupId(g.id());
        c.setSortOrder(order++);
        m_clips.insert(c.id(), c);
    }
    exec("COMMIT");
    changed();
    return g;
}

void KELCodeClipsManager::setGroupName(qint64 id, const QString& name)
{
    auto it = m_groups.find(id);
    if (it == m_groups.end() || it->groupName() == name)
        return;
    it->setGroupName(name);
    writeGroup(*it);
    changed();
}

bool KELCodeClipsManager::removeGroups(const QList<qint64>& ids)
{
    for (qint64 id : ids)
        if (m_groups.contains(id) && m_groups.value(id).isDefault())
            return false;
    exec("BEGIN");
    for (qint64 id : ids) {
        if (!m_groups.remove(id))
            continue;
        Statement s(m_db, "DELETE FROM clip_group WHERE id = ?");
        s.bind(1, id);
        s.step();
        // The database deletes the group's clips with it; so does the copy here.
        for (auto it = m_clips.begin(); it != m_clips.end();)
            it = it->groupId() == id ? m_clips.erase(it) : std::next(it);
    }
    exec("COMMIT");
    changed();
    return true;
}

void KELCodeClipsManager::setGroupOrder(const QList<qint64>& ids)
{
    exec("BEGIN");
    qint64 order = 0;
    for (qint64 id : ids) {
        auto it = m_groups.find(id);
        if (it == m_groups.end())
            continue;
        it->setSortOrder(order++);
        writeGroup(*it);
    }
    exec("COMMIT");
    changed();
}

QList<KELCodeClip> KELCodeClipsManager::clipsInGroup(qint64 groupId) const
{
    QList<KELCodeClip> list;
    for (const KELCodeClip& c : m_clips)
        if (c.groupId() == groupId)
            list.append(c);
    sortBySortOrder(list);
    return list;
}

std::optional<KELCodeClip> KELCodeClipsManager::clip(qint64 id) const
{
    auto it = m_clips.constFind(id);
    return it == m_clips.constEnd() ? std::nullopt : std::optional<KELCodeClip>(*it);
}

QList<KELCodeClip> KELCodeClipsManager::allClips() const
{
    QList<KELCodeClip> list;
    for (const KELCodeClipGroup& g : groups())
        list += clipsInGroup(g.id());
    return list;
}

QList<KELCodeClip> KELCodeClipsManager::findClipsWithCompletionNamePrefix(const QString& prefix) const
{
    QList<KELCodeClip> list;
    for (const KELCodeClip& c : m_clips) {
        if (c.completionName().isEmpty())
            continue;
        if (prefix.isEmpty() || c.completionName().startsWith(prefix, Qt::CaseInsensitive))
            list.append(c);
    }
    return list;
}

QList<KELCodeClip> KELCodeClipsManager::findClipsWithCommand(int command) const
{
    QList<KELCodeClip> list;
    if (command < 0 || command > 9)
        return list;
    for (const KELCodeClip& c : allClips())
        if (c.command() == command)
            list.append(c);
    return list;
}

KELCodeClip KELCodeClipsManager::newClipInGroup(qint64 groupId)
{
    if (!m_groups.contains(groupId))
        groupId = defaultGroup().id();
    QList<KELCodeClip> existing = clipsInGroup(groupId);
    QStringList names;
    exec("BEGIN");
    for (qsizetype i = 0; i < existing.size(); ++i) {
        names.append(existing[i].name());
        if (existing[i].sortOrder() != i) {
            m_clips[existing[i].id()].setSortOrder(i);
            writeClip(m_clips[existing[i].id()]);
        }
    }
    KELCodeClip c;
    c.setName(untitledName(names));
    c.setSortOrder(existing.size());
    c.setGroupId(groupId);
    Statement s(m_db,
        "INSERT INTO clip(group_id, name, completion_name, content, command, sort_order) VALUES (?, ?, ?, NULL, -1, ?)");
    s.bind(1, groupId);
    s.bind(2, c.name());
    s.bind(3, c.completionName());
    s.bind(4, c.sortOrder());
    s.step();
    c.setId(sqlite3_last_insert_rowid(m_db));
    exec("COMMIT");
    m_clips.insert(c.id(), c);
    changed();
    return c;
}

KELCodeClip KELCodeClipsManager::insertClip(const KELCodeClip& archived, qint64 groupId, qsizetype position)
{
    if (!m_groups.contains(groupId))
        groupId = defaultGroup().id();
    QList<KELCodeClip> existing = clipsInGroup(groupId);
    position = std::clamp<qsizetype>(position, 0, existing.size());
    exec("BEGIN");
    KELCodeClip c = archived;
    c.setGroupId(groupId);
    Statement s(m_db,
        "INSERT INTO clip(group_id, name, completion_name, content, command, sort_order) VALUES (?, ?, ?, ?, ?, ?)");
    s.bind(1, groupId);
    s.bind(2, c.name());
    s.bind(3, c.completionName());
    s.bind(4, c.content());
    s.bind(5, qint64(c.command()));
    s.bind(6, qint64(position));
    s.step();
    c.setId(sqlite3_last_insert_rowid(m_db));
    existing.insert(position, c);
    m_clips.insert(c.id(), c);
    for (qsizetype i = 0; i < existing.size(); ++i) {
        KELCodeClip& stored = m_clips[existing[i].id()];
        stored.setSortOrder(i);
        writeClip(stored);
    }
    exec("COMMIT");
    changed();
    return m_clips.value(c.id());
}

void KELCodeClipsManager::setClipName(qint64 id, const QString& name)
{
    auto it = m_clips.find(id);
    if (it == m_clips.end() || it->name() == name)
        return;
    it->setName(name);
    writeClip(*it);
    changed();
}

QString KELCodeClipsManager::setClipCompletionName(qint64 id, const QString& name)
{
    auto it = m_clips.find(id);
    if (it == m_clips.end())
        return QString();
    const QString valid = KELCodeClip::validateCompletionName(name);
    if (it->completionName() != valid) {
        it->setCompletionName(valid);
        writeClip(*it);
        changed();
    }
    return valid;
}

void KELCodeClipsManager::setClipContent(qint64 id, const QString& content)
{
    auto it = m_clips.find(id);
    if (it == m_clips.end() || (it->content() == content && it->content().isNull() == content.isNull()))
        return;
    it->setContent(content);
    writeClip(*it);
    changed();
}

int KELCodeClipsManager::setClipCommand(
    qint64 id, int command, const std::function<bool(const QString&, int)>& confirm)
{
    auto it = m_clips.find(id);
    if (it == m_clips.end())
        return KELCodeClip::NoCommand;
    if (command < 0 || command > 9)
        command = KELCodeClip::NoCommand;
    if (it->command() == command)
        return command;
    QList<KELCodeClip> others;
    if (command != KELCodeClip::NoCommand)
        for (const KELCodeClip& c : findClipsWithCommand(command))
            if (c.id() != id)
                others.append(c);
    exec("BEGIN");
    if (!others.isEmpty()) {
        if (confirm && !confirm(others.first().name(), command)) {
            exec("COMMIT");
            return it->command();
        }
        for (const KELCodeClip& other : others) {
            KELCodeClip& stored = m_clips[other.id()];
            stored.setCommand(KELCodeClip::NoCommand);
            writeClip(stored);
        }
    }
    it = m_clips.find(id);
    it->setCommand(command);
    writeClip(*it);
    exec("COMMIT");
    changed();
    return command;
}

bool KELCodeClipsManager::askToChangeCommand(const QString& otherClipName, int command)
{
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Are you sure that you want to change the command?"));
    alert.setInformativeText(
        QStringLiteral("The command \"Ctrl+%1\" is already in use by the Clip \"%2\". Using this command will "
                       "remove it from that Clip.")
            .arg(command)
            .arg(otherClipName));
    alert.addButton(QStringLiteral("Change Command"));
    alert.addButton(QStringLiteral("Cancel"));
    return alert.runModal() == kit::Alert::FirstButtonReturn;
}

void KELCodeClipsManager::setClipOrder(qint64 groupId, const QList<qint64>& ids)
{
    exec("BEGIN");
    qint64 order = 0;
    for (qint64 id : ids) {
        auto it = m_clips.find(id);
        if (it == m_clips.end())
            continue;
        it->setGroupId(groupId);
        it->setSortOrder(order++);
        writeClip(*it);
    }
    exec("COMMIT");
    changed();
}

void KELCodeClipsManager::removeClips(const QList<qint64>& ids)
{
    exec("BEGIN");
    for (qint64 id : ids) {
        if (!m_clips.remove(id))
            continue;
        Statement s(m_db, "DELETE FROM clip WHERE id = ?");
        s.bind(1, id);
        s.step();
    }
    exec("COMMIT");
    changed();
}
