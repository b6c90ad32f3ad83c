#pragma once
// The application's preferences: a registered domain (the shipped defaults) under
// a persistent domain kept in one property-list file.

#include <QColor>
#include <QFont>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

class QTimer;
class QTemporaryDir;

namespace kit {

class UserDefaults : public QObject {
    Q_OBJECT
public:
    /// The process-wide defaults, stored in "defaults.plist" under the application
    /// configuration folder; read on first use, which must come after the
    /// application has its name. Under QStandardPaths' test mode they live in a
    /// temporary file instead and start empty.
    static UserDefaults& standard();

    /// Defaults kept in the given file (tests, tools). Read at once.
    explicit UserDefaults(const QString& filePath, QObject* parent = nullptr);
    ~UserDefaults() override;

    /// Adds values to the registered domain; they are never written to the file.
    void registerDefaults(const QVariantMap& values);
    QVariantMap registeredDefaults() const { return m_registered; }

    /// The persistent value when set, else the registered one, else invalid.
    QVariant value(const QString& key) const;
    /// Sets a persistent value; an invalid QVariant removes the key.
    void setValue(const QString& key, const QVariant& v);
    void removeValue(const QString& key);
    /// Whether the persistent domain holds the key.
    bool hasPersistentValue(const QString& key) const { return m_persistent.contains(key); }
    QVariantMap persistentDomain() const { return m_persistent; }

    bool boolValue(const QString& key) const;
    qint64 integerValue(const QString& key) const;
    double doubleValue(const QString& key) const;
    QString stringValue(const QString& key) const;
    QStringList stringListValue(const QString& key) const;
    QVariantMap mapValue(const QString& key) const;
    QVariantList listValue(const QString& key) const;

    /// Colours are stored as "#rrggbbaa"; an unreadable value gives an invalid QColor.
    QColor colorValue(const QString& key) const;
    void setColor(const QString& key, const QColor& color);
    /// Fonts are stored as QFont::toString(); an unreadable value gives the default font.
    QFont fontValue(const QString& key) const;
    void setFont(const QString& key, const QFont& font);

    static QString colorToString(const QColor& color);
    static QColor colorFromString(const QString& text);

    /// Writes pending changes to the file now. False when writing failed (logged).
    bool synchronize();

    QString filePath() const { return m_path; }

    /// Tests: forget both domains and keep the defaults in a fresh temporary file.
    void resetForTesting();

Q_SIGNALS:
    void valueChanged(const QString& key);

private:
    void load();
    void scheduleWrite();
    void watchForQuit();

    QString m_path;
    QVariantMap m_registered;
    QVariantMap m_persistent;
    bool m_dirty = false;
    bool m_writeBlocked = false;
    bool m_watchingQuit = false;
    QTimer* m_writeTimer = nullptr;
    std::unique_ptr<QTemporaryDir> m_testDir;
};

} // namespace kit
