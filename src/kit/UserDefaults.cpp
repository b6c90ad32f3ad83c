#include "kit/UserDefaults.h"

#include "kit/Log.h"
#include "kit/PropertyList.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTimeZone>
#include <QUrl>

namespace kit {

namespace {

// Changes reach the file this long after the last of a burst.
constexpr int WriteDelayMs = 500;

QString defaultsFileName() { return QStringLiteral("defaults.plist"); }

// Values are kept in the forms a property list reads back, so a value compares
// equal before and after a round trip through the file.
QVariant normalized(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap out;
        const QVariantMap in = v.toMap();
        for (auto it = in.constBegin(); it != in.constEnd(); ++it)
            if (it.value().isValid())
                out.insert(it.key(), normalized(it.value()));
        return out;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QVariantList out;
        for (const QVariant& item : v.toList())
            out.append(item.isValid() ? normalized(item) : QVariant(QString()));
        return out;
    }
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
    case QMetaType::ULongLong:
        return QVariant::fromValue<qlonglong>(v.toLongLong());
    case QMetaType::Float:
        return v.toDouble();
    case QMetaType::QDate:
        return QDateTime(v.toDate(), QTime(0, 0), Qt::UTC);
    case QMetaType::QDateTime: {
        // Whole seconds in UTC, as the file keeps them.
        QDateTime dt = v.toDateTime().toUTC();
        dt.setTime(QTime(dt.time().hour(), dt.time().minute(), dt.time().second()));
        return dt;
    }
    case QMetaType::QColor:
        return UserDefaults::colorToString(v.value<QColor>());
    case QMetaType::QFont:
        return v.value<QFont>().toString();
    case QMetaType::QUrl:
        return v.toUrl().toString();
    case QMetaType::QChar:
        return QString(v.toChar());
    default:
        return v;
    }
}

// Whether the file can keep the (normalized) value as it is.
bool isStorable(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap:
        for (const QVariant& item : v.toMap())
            if (!isStorable(item))
                return false;
        return true;
    case QMetaType::QVariantList:
        for (const QVariant& item : v.toList())
            if (!isStorable(item))
                return false;
        return true;
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::QDateTime:
    case QMetaType::QByteArray:
        return true;
    default:
        return false;
    }
}

bool isTrueString(const QString& s)
{
    const QString t = s.trimmed();
    if (t.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0 || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    // Numbers in strings count by their value ("1", "2" are true).
    return t.toLongLong() != 0;
}

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

} // namespace

UserDefaults& UserDefaults::standard()
{
    // Made on first use, after the application has its name.
    static UserDefaults* instance = [] {
        UserDefaults* d;
        if (QStandardPaths::isTestModeEnabled()) {
            // Tests never share a file with each other or with the user.
            d = new UserDefaults(QString());
            d->resetForTesting();
            // The object lives on (others may hold it), but its temporary file goes with the application.
            qAddPostRoutine([] { standard().m_testDir.reset(); });
        } else {
            d = new UserDefaults(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QLatin1Char('/')
                                 + defaultsFileName());
        }
        return d;
    }();
    return *instance;
}

UserDefaults::UserDefaults(const QString& filePath, QObject* parent) : QObject(parent), m_path(filePath)
{
    m_writeTimer = new QTimer(this);
    m_writeTimer->setSingleShot(true);
    m_writeTimer->setInterval(WriteDelayMs);
    connect(m_writeTimer, &QTimer::timeout, this, [this] { synchronize(); });
    watchForQuit();
    load();
}

UserDefaults::~UserDefaults()
{
    if (m_dirty)
        synchronize();
}

void UserDefaults::load()
{
    m_persistent.clear();
    m_dirty = false;
    m_writeBlocked = false;
    if (m_path.isEmpty() || !QFileInfo::exists(m_path))
        return;
    Error error;
    const QVariant v = readPropertyList(m_path, &error);
    if (v.typeId() == QMetaType::QVariantMap) {
        m_persistent = v.toMap();
        return;
    }
    const QString problem = error ? error.localizedFailureReason() : QStringLiteral("%1: the top level is not a dictionary").arg(m_path);
    // Keep the damaged file for the user and start from the shipped defaults.
    const QString aside = m_path + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (QFile::copy(m_path, aside)) {
        log(QStringLiteral("The defaults file is damaged (%1); it was kept as %2 and the defaults start empty.").arg(problem, aside));
    } else {
        // Without a copy, leave the file alone rather than overwrite it.
        m_writeBlocked = true;
        log(QStringLiteral("The defaults file is damaged (%1) and could not be copied to %2; the defaults start empty and "
                           "changes will not be saved.")
                .arg(problem, aside));
    }
}

void UserDefaults::registerDefaults(const QVariantMap& values)
{
    QStringList changed;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!it.value().isValid())
            continue;
        const QVariant v = normalized(it.value());
        const QVariant before = value(it.key());
        m_registered.insert(it.key(), v);
        if (!m_persistent.contains(it.key()) && before != v)
            changed.append(it.key());
    }
    for (const QString& key : changed)
        Q_EMIT valueChanged(key);
}

QVariant UserDefaults::value(const QString& key) const
{
    auto it = m_persistent.constFind(key);
    if (it != m_persistent.constEnd())
        return it.value();
    return m_registered.value(key);
}

void UserDefaults::setValue(const QString& key, const QVariant& v)
{
    if (!v.isValid()) {
        removeValue(key);
        return;
    }
    const QVariant stored = normalized(v);
    if (!isStorable(stored))
        log(QStringLiteral("The default “%1” holds a value of type %2, which the defaults file cannot keep; it lasts "
                           "for this session only.")
                .arg(key, QString::fromLatin1(v.typeName())));
    auto it = m_persistent.constFind(key);
    if (it != m_persistent.constEnd() && it.value() == stored && it.value().typeId() == stored.typeId())
        return;
    const QVariant before = value(key);
    m_persistent.insert(key, stored);
    scheduleWrite();
    if (before != stored || before.typeId() != stored.typeId())
        Q_EMIT valueChanged(key);
}

void UserDefaults::removeValue(const QString& key)
{
    if (!m_persistent.contains(key))
        return;
    const QVariant before = value(key);
    m_persistent.remove(key);
    scheduleWrite();
    if (value(key) != before)
        Q_EMIT valueChanged(key);
}

bool UserDefaults::boolValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString)
        return isTrueString(v.toString());
    if (isNumber(v))
        return v.toDouble() != 0;
    return false;
}

qint64 UserDefaults::integerValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? qint64(d) : 0;
    }
    if (v.typeId() == QMetaType::Double)
        return qint64(v.toDouble());
    return isNumber(v) ? v.toLongLong() : 0;
}

double UserDefaults::doubleValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed().toDouble();
    return isNumber(v) ? v.toDouble() : 0.0;
}

QString UserDefaults::stringValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isNumber(v) && v.typeId() != QMetaType::Bool)
        return v.toString();
    return {};
}

QStringList UserDefaults::stringListValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QVariantList && v.typeId() != QMetaType::QStringList)
        return {};
    QStringList out;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString)
            return {};
        out.append(item.toString());
    }
    return out;
}

QVariantMap UserDefaults::mapValue(const QString& key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap();
}

QVariantList UserDefaults::listValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList)
        return v.toList();
    return {};
}

QString UserDefaults::colorToString(const QColor& color)
{
    const QColor c = color.toRgb();
    return QStringLiteral("#%1%2%3%4")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .arg(c.alpha(), 2, 16, QLatin1Char('0'));
}

QColor UserDefaults::colorFromString(const QString& text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#')) || (t.size() != 7 && t.size() != 9))
        return {};
    bool ok = false;
    const uint value = t.mid(1).toUInt(&ok, 16);
    if (!ok)
        return {};
    if (t.size() == 7)
        return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

QColor UserDefaults::colorValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QColor)
        return v.value<QColor>();
    return colorFromString(v.toString());
}

void UserDefaults::setColor(const QString& key, const QColor& color)
{
    if (!color.isValid()) {
        removeValue(key);
        return;
    }
    setValue(key, colorToString(color));
}

QFont UserDefaults::fontValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QFont)
        return v.value<QFont>();
    QFont font;
    const QString text = v.toString();
    if (text.isEmpty() || !font.fromString(text))
        return QFont();
    return font;
}

void UserDefaults::setFont(const QString& key, const QFont& font) { setValue(key, font.toString()); }

void UserDefaults::watchForQuit()
{
    // Pending changes are written when the application quits; defaults made before
    // the application object catch up on their first change.
    QCoreApplication* app = QCoreApplication::instance();
    if (m_watchingQuit || !app)
        return;
    m_watchingQuit = true;
    connect(app, &QCoreApplication::aboutToQuit, this, [this] {
        m_writeTimer->stop();
        synchronize();
    });
}

void UserDefaults::scheduleWrite()
{
    watchForQuit();
    m_dirty = true;
    if (!m_path.isEmpty())
        m_writeTimer->start();
}

bool UserDefaults::synchronize()
{
    if (m_writeTimer->isActive() && QCoreApplication::instance())
        m_writeTimer->stop();
    if (!m_dirty)
        return true;
    if (m_path.isEmpty() || m_writeBlocked)
        return false;
    Error error;
    QVariantMap storable;
    for (auto it = m_persistent.constBegin(); it != m_persistent.constEnd(); ++it)
        if (isStorable(it.value()))
            storable.insert(it.key(), it.value());
    if (!writePropertyList(storable, m_path, &error)) {
        log(QStringLiteral("Could not save the defaults: %1").arg(error.localizedFailureReason()));
        return false;
    }
    m_dirty = false;
    return true;
}

void UserDefaults::resetForTesting()
{
    if (QCoreApplication::instance())
        m_writeTimer->stop();
    m_registered.clear();
    m_persistent.clear();
    m_dirty = false;
    m_writeBlocked = false;
    m_testDir = std::make_unique<QTemporaryDir>();
    m_path = m_testDir->isValid() ? m_testDir->filePath(defaultsFileName()) : QString();
}

} // namespace kit
