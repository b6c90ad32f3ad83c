#pragma once
// Key-value access and observation: values read and written by key or by dotted
// key path, observers told the old and the new value, keys whose value follows
// other keys, and notices of insertions into and removals from list values.
// Objects that expressions, templates and editors reach by name derive from this.

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace kit {

class KeyValueObject;

/// An object held inside a value (a QVariant) keeps it alive.
using KeyValueObjectPtr = std::shared_ptr<KeyValueObject>;

/// One change as an observer sees it.
struct KeyValueChange {
    enum Kind { Setting, Insertion, Removal, Replacement };
    Kind kind = Setting;
    /// The key path the observer registered.
    QString keyPath;
    QVariant oldValue;
    QVariant newValue;
    /// For list changes: the indexes inserted, removed or replaced, ascending.
    QList<qsizetype> indexes;
};

class KeyValueObject : public std::enable_shared_from_this<KeyValueObject> {
public:
    using Observer = std::function<void(const KeyValueChange&)>;

    KeyValueObject();
    virtual ~KeyValueObject();
    KeyValueObject(const KeyValueObject&) = delete;
    KeyValueObject& operator=(const KeyValueObject&) = delete;

    /// The value of one key. The base answers its stored values; an unknown key
    /// goes to valueForUndefinedKey.
    virtual QVariant value(const QString& key) const;
    /// Stores a value under a key (with change notices). Subclasses with
    /// computed keys override it and call willChange/didChange themselves.
    virtual void setValue(const QString& key, const QVariant& value);
    /// nil (an invalid QVariant): an unknown name reads as nothing.
    virtual QVariant valueForUndefinedKey(const QString& key) const;

    /// "a.b.c": the first key on this object, each later one on the object before.
    /// A step through anything that is not an object gives nil.
    virtual QVariant valueForKeyPath(const QString& keyPath) const;
    /// Sets the last key of the path on the object the rest of the path reaches;
    /// nothing happens when that is not an object.
    virtual void setValueForKeyPath(const QString& keyPath, const QVariant& value);

    /// How the object reads when turned into text (a CSS rule gives its CSS text).
    virtual QString description() const;

    // --- Observation
    /// Calls the observer after every change of the key path (a change anywhere
    /// along it counts). Answers a token for removeObserver.
    int addObserver(const QString& keyPath, Observer observer);
    void removeObserver(int token);
    /// Declares that the value of key is computed from the given key paths of the
    /// same object, so its observers hear of their changes too.
    void setKeyPathsAffectingKey(const QString& key, const QStringList& keyPaths);

    /// Brackets a change made outside setValue (a computed property).
    void willChangeValueForKey(const QString& key);
    void didChangeValueForKey(const QString& key);

    // --- List values
    /// Inserts, removes or replaces one item of the list stored under key, with
    /// a notice naming the index.
    void insertValue(const QString& key, qsizetype index, const QVariant& item);
    void removeValue(const QString& key, qsizetype index);
    void replaceValue(const QString& key, qsizetype index, const QVariant& item);
    /// The notices alone, for lists that a subclass keeps itself.
    void didChangeList(const QString& key, KeyValueChange::Kind kind, const QList<qsizetype>& indexes,
        const QVariant& oldItems, const QVariant& newItems);

    // --- Values that hold objects
    static QVariant fromObject(const KeyValueObjectPtr& object);
    /// The object a value holds; null for every other value.
    static KeyValueObjectPtr toObject(const QVariant& value);

protected:
    /// The stored values (for subclasses that mix stored and computed keys).
    const QHash<QString, QVariant>& storedValues() const { return m_values; }

private:
    struct Registration;
    struct PathLink;
    void notify(const QString& key, const KeyValueChange& change, int depth);
    void notifyDependents(const QString& key, int depth);
    void changeList(const QString& key, KeyValueChange::Kind kind, qsizetype index, const QVariant& item);

    QHash<QString, QVariant> m_values;
    QHash<QString, QList<int>> m_observersByKey;
    QHash<int, std::shared_ptr<Registration>> m_registrations;
    QHash<QString, QStringList> m_affecting;  // key → key paths it is computed from
    QHash<QString, QStringList> m_dependents; // first key of such a path → keys computed from it
    QHash<QString, QList<QVariant>> m_pendingOld;
    int m_nextToken = 1;
};

} // namespace kit

Q_DECLARE_METATYPE(kit::KeyValueObjectPtr)
