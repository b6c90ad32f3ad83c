#include "html/KELCodeClipsManager.h"

#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "support/Notifications.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <sqlite3.h>

namespace {

constexpr int SchemaVersion = 1;

KELCodeClipsManager::Timing& timingSlot()
{
    static KELCodeClipsManager::Timing timing;
    return timing;
}

std::unique_ptr<KELCodeClipsManager>& sharedSlot()
{
    static std::unique_ptr<KELCodeClipsManager> manager;
    return manager;
}

// One prepared statement; finalised when it goes out of scope. The first failure
// (preparing or binding) is kept and is what step() answers.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (!db) {
            m_rc = SQLITE_MISUSE;
            return;
        }
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        if (m_rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void bind(int i, qint64 v)
    {
        if (m_stmt)
            note(sqlite3_bind_int64(m_stmt, i, v));
    }
    void bind(int i, const QString& s)
    {
        if (!m_stmt)
            return;
        if (s.isNull()) {
            note(sqlite3_bind_null(m_stmt, i));
            return;
        }
        const QByteArray utf8 = s.toUtf8();
        note(sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_rc != SQLITE_OK ? m_rc : sqlite3_step(m_stmt); }
    qint64 integer(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
    }

private:
    void note(int rc)
    {
        if (m_rc == SQLITE_OK && rc != SQLITE_OK)
            m_rc = rc;
    }
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

int execute(sqlite3* db, const char* sql)
{
    return db ? sqlite3_exec(db, sql, nullptr, nullptr, nullptr) : SQLITE_MISUSE;
}

QString errorMessage(sqlite3* db, int code)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
}

bool isLockCode(int code)
{
    return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
}

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
        resetSharedInstanceForTesting(defaultStorePath());
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
    KELCodeClipsManager* manager = slot.get();
    kit::NotificationCenter::defaultCenter().addObserver(KELApplicationWillTerminateNotification, nullptr,
        [manager](const kit::Notification&) { manager->applicationWillTerminate(); }, manager);
}

QString KELCodeClipsManager::defaultStorePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("CodeClips.sqlite3"));
}

void KELCodeClipsManager::setTimingForTesting(const Timing& timing) { timingSlot() = timing; }

KELCodeClipsManager::Timing KELCodeClipsManager::timing() { return timingSlot(); }

// ---------------------------------------------------------------------------------------------
// Opening

KELCodeClipsManager::KELCodeClipsManager(const QString& storePath, QObject* parent)
    : QObject(parent)
    , m_storePath(storePath)
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::Unavailable)
            openAndRead(timing().writeWaitMs);
        else
            flush();
    });
    const QString folder = QFileInfo(storePath).absolutePath();
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
    openAndRead(timing().openWaitMs);
}

KELCodeClipsManager::~KELCodeClipsManager() { closeStore(); }

void KELCodeClipsManager::closeStore()
{
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

void KELCodeClipsManager::reportAtOpening(const QString& title, const QString& info)
{
    kit::Alert alert;
    alert.setMessageText(title);
    alert.setInformativeText(info);
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}

void KELCodeClipsManager::openAndRead(int waitMs)
{
    const bool wasWaiting = m_state == State::Unavailable;
    QString problem;
    Opened opened = openAndLoad(waitMs, &problem);
    if (opened == Opened::NotAStore || opened == Opened::Failed) {
        kit::log(QStringLiteral("Error generating persistent store for Code Clips: %1").arg(problem));
        QString info;
        if (opened == Opened::NotAStore && QFileInfo::exists(m_storePath)) {
            // Keep the old file (the user's clips may still be in it) and start afresh.
            // Its journal goes with it: left here it would be played into the new store.
            const qint64 now = QDateTime::currentSecsSinceEpoch();
            QString aside = m_storePath + QStringLiteral("-%1").arg(now);
            for (int n = 2; QFileInfo::exists(aside) || QFileInfo::exists(aside + QStringLiteral("-journal")); ++n)
                aside = m_storePath + QStringLiteral("-%1-%2").arg(now).arg(n);
            if (QFile::rename(m_storePath, aside)) {
                const QString journal = m_storePath + QStringLiteral("-journal");
                if (QFileInfo::exists(journal) && !QFile::rename(journal, aside + QStringLiteral("-journal")))
                    kit::log(QStringLiteral("Could not move the journal of the Code Clips file aside: %1").arg(journal));
                info = QStringLiteral("It was moved to “%1”, where your earlier clips are kept, and a new Code "
                                      "Clips file was made in its place.")
                           .arg(QDir::toNativeSeparators(aside));
            } else {
                kit::log(QStringLiteral("Could not move the Code Clips file aside: %1").arg(m_storePath));
            }
            opened = openAndLoad(waitMs, &problem);
        } else {
            opened = openAndLoad(waitMs, &problem);
        }
        if (opened == Opened::NotAStore || opened == Opened::Failed) {
            kit::log(
                QStringLiteral("Error generating persistent store for Code Clips on second attempt: %1").arg(problem));
            if (!info.isEmpty())
                info += QStringLiteral("\n\n");
            info += QStringLiteral("“%1”: %2.\n\nCode clips cannot be saved in this session.")
                        .arg(QDir::toNativeSeparators(m_storePath), problem);
        }
        reportAtOpening(QStringLiteral("The Code Clips file could not be read."), info);
    }
    switch (opened) {
    case Opened::Ok:
        m_state = State::Ready;
        break;
    case Opened::ReadOnly:
        m_state = State::ReadOnly;
        kit::log(QStringLiteral("The Code Clips file cannot be written: %1").arg(m_storePath));
        reportAtOpening(QStringLiteral("The Code Clips file is read-only."),
            QStringLiteral("Your clips can be used, but changes made to them cannot be kept: “%1” cannot be written.")
                .arg(QDir::toNativeSeparators(m_storePath)));
        break;
    case Opened::Busy:
        // Another program is writing it: wait for it, never touch its files.
        if (!wasWaiting) {
            kit::log(QStringLiteral("The Code Clips file is in use by another program: %1").arg(problem));
            m_state = State::Unavailable;
            Q_EMIT storeProblemChanged();
        }
        scheduleRetry();
        return;
    case Opened::NotAStore:
    case Opened::Failed:
        m_state = State::SessionOnly;
        break;
    }
    m_retryTimer.stop();
    m_retryInterval = 0;
    defaultGroup();
    if (wasWaiting) {
        kit::log(QStringLiteral("The Code Clips file is free again and was read."));
        changed();
        Q_EMIT storeProblemChanged();
    }
}

KELCodeClipsManager::Opened KELCodeClipsManager::openAndLoad(int waitMs, QString* problem)
{
    Opened opened = openStore(m_storePath, waitMs, problem);
    if (opened != Opened::Ok && opened != Opened::ReadOnly)
        return opened;
    int code = SQLITE_OK;
    if (load(problem, &code)) {
        sqlite3_busy_timeout(m_db, timing().writeWaitMs);
        return opened;
    }
    closeStore();
    m_groups.clear();
    m_clips.clear();
    if (isLockCode(code))
        return Opened::Busy;
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB ? Opened::NotAStore : Opened::Failed;
}

KELCodeClipsManager::Opened KELCodeClipsManager::openStore(const QString& path, int waitMs, QString* problem)
{
    closeStore();
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        *problem = errorMessage(db, rc);
        sqlite3_close(db);
        return Opened::Failed;
    }
    m_db = db;
    sqlite3_busy_timeout(m_db, waitMs);
    auto fail = [&](int code) {
        *problem = errorMessage(m_db, code);
        closeStore();
        if (isLockCode(code))
            return Opened::Busy;
        return (code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT ? Opened::NotAStore : Opened::Failed;
    };
    {
        Statement check(m_db, "PRAGMA quick_check");
        const int step = check.step();
        if (step != SQLITE_ROW)
            return fail(step);
        if (check.text(0) != QLatin1String("ok")) {
            *problem = check.text(0);
            closeStore();
            return Opened::NotAStore;
        }
    }
    qint64 version = 0;
    {
        Statement v(m_db, "PRAGMA user_version");
        const int step = v.step();
        if (step != SQLITE_ROW)
            return fail(step);
        version = v.integer(0);
    }
    // A file the system will not let us write, or a folder where its journal
    // cannot be made: readable, but changes cannot be kept.
    const bool readOnly
        = sqlite3_db_readonly(m_db, "main") == 1 || !QFileInfo(QFileInfo(path).absolutePath()).isWritable();
    if (version == 0) {
        qint64 tables = 0;
        {
            Statement count(m_db, "SELECT count(*) FROM sqlite_master");
            const int step = count.step();
            if (step != SQLITE_ROW)
                return fail(step);
            tables = count.integer(0);
        }
        if (tables != 0) {
            *problem = QStringLiteral("the file holds other data");
            closeStore();
            return Opened::NotAStore;
        }
        if (readOnly) {
            *problem = QStringLiteral("a new store cannot be written there");
            closeStore();
            return Opened::Failed;
        }
        const char* schema = "BEGIN IMMEDIATE;"
                             "CREATE TABLE clip_group(id INTEGER PRIMARY KEY, group_name TEXT,"
                             " is_default INTEGER NOT NULL DEFAULT 0, sort_order INTEGER NOT NULL DEFAULT 0);"
                             "CREATE TABLE clip(id INTEGER PRIMARY KEY,"
                             " group_id INTEGER NOT NULL REFERENCES clip_group(id) ON DELETE CASCADE,"
                             " name TEXT, completion_name TEXT, content TEXT,"
                             " command INTEGER NOT NULL DEFAULT -1, sort_order INTEGER NOT NULL DEFAULT 0);"
                             "CREATE INDEX clip_by_group ON clip(group_id);"
                             "PRAGMA user_version = 1;"
                             "COMMIT;";
        const int made = execute(m_db, schema);
        if (made != SQLITE_OK) {
            const QString why = errorMessage(m_db, made);
            if (!sqlite3_get_autocommit(m_db))
                execute(m_db, "ROLLBACK");
            closeStore();
            *problem = why;
            return isLockCode(made) ? Opened::Busy : Opened::Failed;
        }
    } else if (version != SchemaVersion) {
        *problem = QStringLiteral("unknown store version %1").arg(version);
        closeStore();
        return Opened::NotAStore;
    }
    for (const char* pragma : { "PRAGMA foreign_keys = ON", "PRAGMA synchronous = FULL" }) {
        const int set = execute(m_db, pragma);
        if (set != SQLITE_OK)
            kit::log(QStringLiteral("Code Clips: %1 failed: %2").arg(QLatin1String(pragma), errorMessage(m_db, set)));
    }
    return readOnly ? Opened::ReadOnly : Opened::Ok;
}

bool KELCodeClipsManager::load(QString* problem, int* code)
{
    m_groups.clear();
    m_clips.clear();
    m_storedGroups.clear();
    m_storedClips.clear();
    m_dirtyGroups.clear();
    m_dirtyClips.clear();
    m_deletedGroups.clear();
    m_deletedClips.clear();
    qint64 maxGroup = 0;
    qint64 maxClip = 0;
    {
        Statement groups(m_db, "SELECT id, group_name, is_default, sort_order FROM clip_group");
        int step;
        while ((step = groups.step()) == SQLITE_ROW) {
            KELCodeClipGroup g;
            g.setId(groups.integer(0));
            g.setGroupName(groups.text(1));
            g.setDefault(groups.integer(2) != 0);
            g.setSortOrder(groups.integer(3));
            m_groups.insert(g.id(), g);
            m_storedGroups.insert(g.id());
            maxGroup = std::max(maxGroup, g.id());
        }
        if (step != SQLITE_DONE) {
            *code = step;
            *problem = errorMessage(m_db, step);
            return false;
        }
    }
    {
        Statement clips(m_db, "SELECT id, group_id, name, completion_name, content, command, sort_order FROM clip");
        int step;
        while ((step = clips.step()) == SQLITE_ROW) {
            KELCodeClip c;
            c.setId(clips.integer(0));
            c.setGroupId(clips.integer(1));
            c.setName(clips.text(2));
            c.setCompletionName(clips.text(3));
            c.setContent(clips.text(4));
            c.setCommand(int(clips.integer(5)));
            c.setSortOrder(clips.integer(6));
            maxClip = std::max(maxClip, c.id());
            if (m_groups.contains(c.groupId())) {
                m_clips.insert(c.id(), c);
                m_storedClips.insert(c.id());
            }
        }
        if (step != SQLITE_DONE) {
            *code = step;
            *problem = errorMessage(m_db, step);
            return false;
        }
    }
    // Ids are given here, not by the file: a clip keeps its id whether or not
    // the file could take it yet.
    m_nextGroupId = maxGroup + 1;
    m_nextClipId = maxClip + 1;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool KELCodeClipsManager::hasUnsavedChanges() const
{
    return !m_dirtyGroups.isEmpty() || !m_dirtyClips.isEmpty() || !m_deletedGroups.isEmpty()
        || !m_deletedClips.isEmpty();
}

void KELCodeClipsManager::forgetGroup(qint64 id)
{
    m_dirtyGroups.remove(id);
    if (m_storedGroups.contains(id))
        m_deletedGroups.insert(id);
}

void KELCodeClipsManager::forgetClip(qint64 id)
{
    m_dirtyClips.remove(id);
    if (m_storedClips.contains(id))
        m_deletedClips.insert(id);
}

bool KELCodeClipsManager::flush()
{
    if (!hasUnsavedChanges())
        return true;
    if (!m_db || m_state != State::Ready)
        return false;
    int code = SQLITE_OK;
    m_renumbered.clear();
    const bool written = writePending(&code);
    if (written)
        noteWriteSuccess();
    else
        noteWriteFailure(code, m_lastError);
    for (const Renumbering& r : std::as_const(m_renumbered))
        Q_EMIT idChanged(r.group, r.from, r.to);
    return written;
}

bool KELCodeClipsManager::writePending(int* code)
{
    auto fail = [&](int rc) {
        *code = rc;
        m_lastError = errorMessage(m_db, rc);
        m_lastSystemError = sqlite3_system_errno(m_db);
        if (!sqlite3_get_autocommit(m_db))
            execute(m_db, "ROLLBACK");
        return false;
    };
    int rc = execute(m_db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return fail(rc);
    for (qint64 id : std::as_const(m_deletedClips)) {
        Statement s(m_db, "DELETE FROM clip WHERE id = ?");
        s.bind(1, id);
        if ((rc = s.step()) != SQLITE_DONE)
            return fail(rc);
    }
    for (qint64 id : std::as_const(m_deletedGroups)) {
        Statement s(m_db, "DELETE FROM clip_group WHERE id = ?");
        s.bind(1, id);
        if ((rc = s.step()) != SQLITE_DONE)
            return fail(rc);
    }
    // Groups first: clips refer to them.
    const QList<qint64> groups = m_dirtyGroups.values();
    for (qint64 id : groups) {
        if (m_groups.contains(id) && !writeGroupRow(id, &rc))
            return fail(rc);
    }
    const QList<qint64> clips = m_dirtyClips.values();
    for (qint64 id : clips) {
        if (m_clips.contains(id) && !writeClipRow(id, &rc))
            return fail(rc);
    }
    if ((rc = execute(m_db, "COMMIT")) != SQLITE_OK)
        return fail(rc);
    // The file holds all of it now.
    for (qint64 id : std::as_const(m_dirtyGroups))
        if (m_groups.contains(id))
            m_storedGroups.insert(id);
    for (qint64 id : std::as_const(m_dirtyClips))
        if (m_clips.contains(id))
            m_storedClips.insert(id);
    m_storedGroups -= m_deletedGroups;
    m_storedClips -= m_deletedClips;
    m_dirtyGroups.clear();
    m_dirtyClips.clear();
    m_deletedGroups.clear();
    m_deletedClips.clear();
    return true;
}

qint64 KELCodeClipsManager::unusedId(const char* sql, qint64 memoryMax, int* code)
{
    Statement s(m_db, sql);
    const int rc = s.step();
    if (rc != SQLITE_ROW) {
        *code = rc;
        return 0;
    }
    return std::max(s.integer(0), memoryMax) + 1;
}

bool KELCodeClipsManager::writeGroupRow(qint64 id, int* code)
{
    const KELCodeClipGroup g = m_groups.value(id);
    if (m_storedGroups.contains(id)) {
        Statement s(m_db, "UPDATE clip_group SET group_name = ?, is_default = ?, sort_order = ? WHERE id = ?");
        s.bind(1, g.groupName());
        s.bind(2, qint64(g.isDefault()));
        s.bind(3, g.sortOrder());
        s.bind(4, id);
        if ((*code = s.step()) != SQLITE_DONE)
            return false;
        if (sqlite3_changes(m_db) > 0)
            return true;
        // Gone from the file meanwhile: written anew below.
    }
    Statement s(m_db, "INSERT INTO clip_group(id, group_name, is_default, sort_order) VALUES (?, ?, ?, ?)");
    s.bind(1, id);
    s.bind(2, g.groupName());
    s.bind(3, qint64(g.isDefault()));
    s.bind(4, g.sortOrder());
    *code = s.step();
    if (*code == SQLITE_DONE)
        return true;
    if ((*code & 0xff) != SQLITE_CONSTRAINT || m_storedGroups.contains(id))
        return false;
    // Another program put a group of its own under this id: never write over it.
    const qint64 maxId = m_groups.isEmpty() ? 0 : *std::max_element(m_groups.keyBegin(), m_groups.keyEnd());
    const qint64 to = unusedId("SELECT ifnull(max(id), 0) FROM clip_group", maxId, code);
    if (!to)
        return false;
    KELCodeClipGroup moved = m_groups.take(id);
    moved.setId(to);
    m_groups.insert(to, moved);
    m_dirtyGroups.remove(id);
    m_dirtyGroups.insert(to);
    for (KELCodeClip& c : m_clips)
        if (c.groupId() == id) {
            c.setGroupId(to);
            m_dirtyClips.insert(c.id());
        }
    m_nextGroupId = std::max(m_nextGroupId, to + 1);
    m_renumbered.append({ true, id, to });
    return writeGroupRow(to, code);
}

bool KELCodeClipsManager::writeClipRow(qint64 id, int* code)
{
    const KELCodeClip c = m_clips.value(id);
    if (m_storedClips.contains(id)) {
        Statement s(m_db,
            "UPDATE clip SET group_id = ?, name = ?, completion_name = ?, content = ?, command = ?, sort_order = ?"
            " WHERE id = ?");
        s.bind(1, c.groupId());
        s.bind(2, c.name());
        s.bind(3, c.completionName());
        s.bind(4, c.content());
        s.bind(5, qint64(c.command()));
        s.bind(6, c.sortOrder());
        s.bind(7, id);
        if ((*code = s.step()) != SQLITE_DONE)
            return false;
        if (sqlite3_changes(m_db) > 0)
            return true;
    }
    Statement s(m_db,
        "INSERT INTO clip(id, group_id, name, completion_name, content, command, sort_order)"
        " VALUES (?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, id);
    s.bind(2, c.groupId());
    s.bind(3, c.name());
    s.bind(4, c.completionName());
    s.bind(5, c.content());
    s.bind(6, qint64(c.command()));
    s.bind(7, c.sortOrder());
    *code = s.step();
    if (*code == SQLITE_DONE)
        return true;
    if ((*code & 0xff) != SQLITE_CONSTRAINT || m_storedClips.contains(id))
        return false;
    // Is the id taken by another program's clip? (A missing group fails the same way.)
    {
        Statement taken(m_db, "SELECT count(*) FROM clip WHERE id = ?");
        taken.bind(1, id);
        if (taken.step() != SQLITE_ROW || taken.integer(0) == 0)
            return false;
    }
    const qint64 maxId = m_clips.isEmpty() ? 0 : *std::max_element(m_clips.keyBegin(), m_clips.keyEnd());
    const qint64 to = unusedId("SELECT ifnull(max(id), 0) FROM clip", maxId, code);
    if (!to)
        return false;
    KELCodeClip moved = m_clips.take(id);
    moved.setId(to);
    m_clips.insert(to, moved);
    m_dirtyClips.remove(id);
    m_dirtyClips.insert(to);
    m_nextClipId = std::max(m_nextClipId, to + 1);
    m_renumbered.append({ false, id, to });
    return writeClipRow(to, code);
}

qint64 KELCodeClipsManager::followId(bool group, qint64 id) const
{
    for (const Renumbering& r : m_renumbered)
        if (r.group == group && r.from == id)
            id = r.to;
    return id;
}

void KELCodeClipsManager::noteWriteFailure(int code, const QString& message)
{
    WriteProblem kind = WriteProblem::Failed;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        kind = WriteProblem::Locked;
        break;
    case SQLITE_FULL:
        kind = WriteProblem::Full;
        break;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        kind = WriteProblem::ReadOnly;
        break;
    default:
        if (m_lastSystemError == ENOSPC || m_lastSystemError == EDQUOT)
            kind = WriteProblem::Full;
        else if (m_lastSystemError == EROFS || m_lastSystemError == EACCES)
            kind = WriteProblem::ReadOnly;
        break;
    }
    const bool first = !m_failingSince.isValid();
    if (first)
        m_failingSince.start();
    if (first || kind != m_writeProblem)
        kit::log(QStringLiteral("Could not save Code Clips: %1").arg(message));
    m_writeProblem = kind;
    m_writeMessage = message;
    // A lock is usually let go of at once: it is shown only once it has lasted.
    m_writeProblemShown = kind != WriteProblem::Locked || m_failingSince.elapsed() >= timing().reportLockAfterMs;
    scheduleRetry();
    Q_EMIT storeProblemChanged();
}

void KELCodeClipsManager::noteWriteSuccess()
{
    m_retryTimer.stop();
    m_retryInterval = 0;
    if (m_writeProblem == WriteProblem::None)
        return;
    kit::log(QStringLiteral("Code Clips saved: the file can be written again."));
    m_writeProblem = WriteProblem::None;
    m_writeMessage.clear();
    m_writeProblemShown = false;
    m_failingSince.invalidate();
    Q_EMIT storeProblemChanged();
}

void KELCodeClipsManager::scheduleRetry()
{
    const Timing t = timing();
    m_retryInterval = m_retryInterval ? std::min(m_retryInterval * 2, t.longestRetryMs) : t.firstRetryMs;
    m_retryTimer.start(m_retryInterval);
}

QString KELCodeClipsManager::problemText(bool evenIfBrief) const
{
    switch (m_state) {
    case State::Unavailable:
        return QStringLiteral("The Code Clips file is in use by another program. Your clips will appear here when it is "
                              "free.");
    case State::ReadOnly:
        return QStringLiteral("The Code Clips file cannot be written: changes to clips will not be kept after Kelp "
                              "Studio quits.");
    case State::SessionOnly:
        return QStringLiteral("The Code Clips file could not be opened: changes to clips will not be kept after Kelp "
                              "Studio quits.");
    case State::Ready:
        break;
    }
    if (m_writeProblem == WriteProblem::None || (!m_writeProblemShown && !evenIfBrief))
        return QString();
    switch (m_writeProblem) {
    case WriteProblem::Locked:
        return QStringLiteral("The Code Clips file is in use by another program. Your changes are kept and will be "
                              "saved when it is free.");
    case WriteProblem::Full:
        return QStringLiteral("The disk is full. Your changes to clips are kept and will be saved as soon as there is "
                              "room.");
    case WriteProblem::ReadOnly:
        return QStringLiteral("The Code Clips file cannot be written. Your changes to clips are kept while Kelp Studio "
                              "runs and saved if it can be written again.");
    case WriteProblem::Failed:
    case WriteProblem::None:
        break;
    }
    return QStringLiteral("Your changes to clips cannot be saved now (%1). They are kept and will be saved as soon as "
                          "possible.")
        .arg(m_writeMessage);
}

QString KELCodeClipsManager::storeProblem() const { return problemText(false); }

bool KELCodeClipsManager::saveClips()
{
    Q_EMIT willSaveClips();
    if (!hasUnsavedChanges())
        return true;
    if (flush())
        return true;
    kit::log(QStringLiteral("Could not save Code Clips: %1").arg(m_writeMessage.isEmpty() ? problemText(true) : m_writeMessage));
    return false;
}

void KELCodeClipsManager::applicationWillTerminate()
{
    if (saveClips() || m_state != State::Ready)
        return; // saved, or the user was told at opening that changes are not kept
    while (hasUnsavedChanges()) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Your latest changes to code clips could not be saved."));
        alert.setInformativeText(problemText(true) + QStringLiteral("\n\nIf you quit now, they are lost."));
        alert.addButton(QStringLiteral("Try Again"));
        alert.addButton(QStringLiteral("Quit Anyway"));
        if (alert.runModal() != kit::Alert::FirstButtonReturn)
            break;
        // The user is waiting for it now: a lock may be waited for a little longer.
        sqlite3_busy_timeout(m_db, timing().openWaitMs);
        flush();
        if (m_db)
            sqlite3_busy_timeout(m_db, timing().writeWaitMs);
    }
    m_retryTimer.stop();
}

// ---------------------------------------------------------------------------------------------
// The clips and groups

void KELCodeClipsManager::changed() { Q_EMIT clipsChanged(); }

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
    for (const KELCodeClipGroup& g : std::as_const(m_groups))
        if (g.isDefault())
            return g;
    if (!canEdit())
        return KELCodeClipGroup();
    KELCodeClipGroup g;
    g.setId(m_nextGroupId++);
    g.setGroupName(QStringLiteral("(Default)"));
    g.setDefault(true);
    g.setSortOrder(0);
    m_groups.insert(g.id(), g);
    markGroup(g.id());
    flush();
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
    if (!canEdit())
        return KELCodeClipGroup();
    const QList<KELCodeClipGroup> all = groups();
    QStringList names;
    for (qsizetype i = 0; i < all.size(); ++i) {
        names.append(all[i].groupName());
        if (all[i].sortOrder() != i) {
            m_groups[all[i].id()].setSortOrder(i);
            markGroup(all[i].id());
        }
    }
    KELCodeClipGroup g;
    g.setId(m_nextGroupId++);
    g.setGroupName(untitledName(names));
    g.setSortOrder(all.size());
    m_groups.insert(g.id(), g);
    markGroup(g.id());
    flush();
    changed();
    return m_groups.value(followId(true, g.id()), g);
}

KELCodeClipGroup KELCodeClipsManager::insertGroup(
    const KELCodeClipGroup& archived, const QList<KELCodeClip>& clips, qsizetype position)
{
    if (!canEdit())
        return KELCodeClipGroup();
    QList<KELCodeClipGroup> all = groups();
    position = std::clamp<qsizetype>(position, 0, all.size());
    KELCodeClipGroup g = archived;
    g.setId(m_nextGroupId++);
    // There is one default group: a copy of it is an ordinary group.
    if (g.isDefault() && std::any_of(all.begin(), all.end(), [](const auto& x) { return x.isDefault(); }))
        g.setDefault(false);
    all.insert(position, g);
    for (qsizetype i = 0; i < all.size(); ++i) {
        all[i].setSortOrder(i);
        if (!m_groups.contains(all[i].id()) || m_groups.value(all[i].id()).sortOrder() != i) {
            m_groups.insert(all[i].id(), all[i]);
            markGroup(all[i].id());
        }
    }
    qint64 order = 0;
    for (KELCodeClip c : clips) {
        c.setId(m_nextClipId++);
        c.setGroupId(g.id());
        c.setSortOrder(order++);
        m_clips.insert(c.id(), c);
        markClip(c.id());
    }
    flush();
    changed();
    return m_groups.value(followId(true, g.id()), g);
}

void KELCodeClipsManager::setGroupName(qint64 id, const QString& name)
{
    auto it = m_groups.find(id);
    if (it == m_groups.end() || it->groupName() == name)
        return;
    it->setGroupName(name);
    markGroup(id);
    flush();
    changed();
}

bool KELCodeClipsManager::removeGroups(const QList<qint64>& ids)
{
    for (qint64 id : ids)
        if (m_groups.contains(id) && m_groups.value(id).isDefault())
            return false;
    for (qint64 id : ids) {
        if (!m_groups.remove(id))
            continue;
        forgetGroup(id);
        // The file deletes the group's clips with it; so does the copy here.
        for (auto it = m_clips.begin(); it != m_clips.end();) {
            if (it->groupId() == id) {
                forgetClip(it.key());
                it = m_clips.erase(it);
            } else {
                ++it;
            }
        }
    }
    flush();
    changed();
    return true;
}

void KELCodeClipsManager::setGroupOrder(const QList<qint64>& ids)
{
    qint64 order = 0;
    for (qint64 id : ids) {
        auto it = m_groups.find(id);
        if (it == m_groups.end())
            continue;
        if (it->sortOrder() != order) {
            it->setSortOrder(order);
            markGroup(id);
        }
        ++order;
    }
    flush();
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
    if (!canEdit())
        return KELCodeClip();
    if (!m_groups.contains(groupId))
        groupId = defaultGroup().id();
    const QList<KELCodeClip> existing = clipsInGroup(groupId);
    QStringList names;
    for (qsizetype i = 0; i < existing.size(); ++i) {
        names.append(existing[i].name());
        if (existing[i].sortOrder() != i) {
            m_clips[existing[i].id()].setSortOrder(i);
            markClip(existing[i].id());
        }
    }
    KELCodeClip c;
    c.setId(m_nextClipId++);
    c.setName(untitledName(names));
    c.setSortOrder(existing.size());
    c.setGroupId(groupId);
    m_clips.insert(c.id(), c);
    markClip(c.id());
    flush();
    changed();
    return m_clips.value(followId(false, c.id()), c);
}

KELCodeClip KELCodeClipsManager::insertClip(const KELCodeClip& archived, qint64 groupId, qsizetype position)
{
    if (!canEdit())
        return KELCodeClip();
    if (!m_groups.contains(groupId))
        groupId = defaultGroup().id();
    QList<KELCodeClip> existing = clipsInGroup(groupId);
    position = std::clamp<qsizetype>(position, 0, existing.size());
    KELCodeClip c = archived;
    c.setId(m_nextClipId++);
    c.setGroupId(groupId);
    existing.insert(position, c);
    m_clips.insert(c.id(), c);
    markClip(c.id());
    for (qsizetype i = 0; i < existing.size(); ++i) {
        KELCodeClip& stored = m_clips[existing[i].id()];
        if (stored.sortOrder() != i || stored.id() == c.id()) {
            stored.setSortOrder(i);
            markClip(stored.id());
        }
    }
    flush();
    changed();
    return m_clips.value(followId(false, c.id()), c);
}

void KELCodeClipsManager::setClipName(qint64 id, const QString& name)
{
    auto it = m_clips.find(id);
    if (it == m_clips.end() || it->name() == name)
        return;
    it->setName(name);
    markClip(id);
    flush();
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
        markClip(id);
        flush();
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
    markClip(id);
    flush();
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
    if (!others.isEmpty()) {
        // Asked before anything is written: the file is never held during a question.
        if (confirm && !confirm(others.first().name(), command)) {
            const auto kept = m_clips.constFind(id);
            return kept == m_clips.constEnd() ? KELCodeClip::NoCommand : kept->command();
        }
        for (const KELCodeClip& other : others) {
            auto o = m_clips.find(other.id());
            if (o == m_clips.end())
                continue;
            o->setCommand(KELCodeClip::NoCommand);
            markClip(other.id());
        }
    }
    it = m_clips.find(id);
    if (it == m_clips.end())
        return KELCodeClip::NoCommand;
    it->setCommand(command);
    markClip(id);
    flush();
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
    qint64 order = 0;
    for (qint64 id : ids) {
        auto it = m_clips.find(id);
        if (it == m_clips.end())
            continue;
        if (it->groupId() != groupId || it->sortOrder() != order) {
            it->setGroupId(groupId);
            it->setSortOrder(order);
            markClip(id);
        }
        ++order;
    }
    flush();
    changed();
}

void KELCodeClipsManager::removeClips(const QList<qint64>& ids)
{
    for (qint64 id : ids)
        if (m_clips.remove(id))
            forgetClip(id);
    flush();
    changed();
}
