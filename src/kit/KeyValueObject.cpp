#include "kit/KeyValueObject.h"

namespace kit {

namespace {

// Dependent keys may name each other; a cycle stops here instead of recursing for ever.
constexpr int MaximumNotificationDepth = 16;

} // namespace

// One observer of a key path. For a dotted path it also watches the rest of the
// path on the object the first key currently holds, and moves that watch along
// when the first key changes.
struct KeyValueObject::Registration {
    KeyValueObject* owner = nullptr;
    QString keyPath;
    QString firstKey;
    QString rest;
    Observer observer;
    // Only for dotted paths: the last value seen, and the watch on the next object.
    QVariant cached;
    std::weak_ptr<KeyValueObject> linked;
    int linkedToken = 0;

    ~Registration() { unlink(); }

    void unlink()
    {
        if (const KeyValueObjectPtr object = linked.lock())
            object->removeObserver(linkedToken);
        linked.reset();
        linkedToken = 0;
    }

    void link(const std::shared_ptr<Registration>& self)
    {
        unlink();
        const KeyValueObjectPtr next = KeyValueObject::toObject(owner->value(firstKey));
        if (!next)
            return;
        const std::weak_ptr<Registration> weakSelf = self;
        linked = next;
        linkedToken = next->addObserver(rest, [weakSelf](const KeyValueChange& change) {
            if (const auto registration = weakSelf.lock())
                registration->pathChanged(change);
        });
    }

    // A change further down the path: report it with the whole path's values.
    void pathChanged(const KeyValueChange& inner)
    {
        KeyValueChange change = inner;
        change.keyPath = keyPath;
        if (inner.kind == KeyValueChange::Setting) {
            change.oldValue = cached;
            cached = owner->valueForKeyPath(keyPath);
            change.newValue = cached;
        } else {
            cached = owner->valueForKeyPath(keyPath);
        }
        observer(change);
    }
};

KeyValueObject::KeyValueObject() = default;

KeyValueObject::~KeyValueObject()
{
    // Drop the watches on other objects before the registrations go.
    for (const auto& registration : std::as_const(m_registrations))
        registration->unlink();
}

QVariant KeyValueObject::value(const QString& key) const
{
    const auto found = m_values.constFind(key);
    if (found != m_values.cend())
        return found.value();
    return valueForUndefinedKey(key);
}

void KeyValueObject::setValue(const QString& key, const QVariant& value)
{
    willChangeValueForKey(key);
    m_values.insert(key, value);
    didChangeValueForKey(key);
}

QVariant KeyValueObject::valueForUndefinedKey(const QString&) const
{
    return QVariant();
}

QVariant KeyValueObject::valueForKeyPath(const QString& keyPath) const
{
    const qsizetype dot = keyPath.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return value(keyPath);
    const KeyValueObjectPtr next = toObject(value(keyPath.left(dot)));
    if (!next)
        return QVariant();
    return next->valueForKeyPath(keyPath.mid(dot + 1));
}

void KeyValueObject::setValueForKeyPath(const QString& keyPath, const QVariant& value)
{
    const qsizetype dot = keyPath.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        setValue(keyPath, value);
        return;
    }
    if (const KeyValueObjectPtr next = toObject(this->value(keyPath.left(dot))))
        next->setValueForKeyPath(keyPath.mid(dot + 1), value);
}

QString KeyValueObject::description() const
{
    return QString();
}

int KeyValueObject::addObserver(const QString& keyPath, Observer observer)
{
    auto registration = std::make_shared<Registration>();
    registration->owner = this;
    registration->keyPath = keyPath;
    registration->observer = std::move(observer);
    const qsizetype dot = keyPath.indexOf(QLatin1Char('.'));
    registration->firstKey = dot < 0 ? keyPath : keyPath.left(dot);
    if (dot >= 0) {
        registration->rest = keyPath.mid(dot + 1);
        registration->cached = valueForKeyPath(keyPath);
        registration->link(registration);
    }
    const int token = m_nextToken++;
    m_registrations.insert(token, registration);
    m_observersByKey[registration->firstKey].append(token);
    return token;
}

void KeyValueObject::removeObserver(int token)
{
    const auto registration = m_registrations.take(token);
    if (!registration)
        return;
    QList<int>& tokens = m_observersByKey[registration->firstKey];
    tokens.removeOne(token);
    if (tokens.isEmpty())
        m_observersByKey.remove(registration->firstKey);
}

void KeyValueObject::setKeyPathsAffectingKey(const QString& key, const QStringList& keyPaths)
{
    m_affecting.insert(key, keyPaths);
    for (const QString& path : keyPaths) {
        const qsizetype dot = path.indexOf(QLatin1Char('.'));
        if (dot < 0) {
            if (!m_dependents[path].contains(key))
                m_dependents[path].append(key);
            continue;
        }
        // A path into another object: watch it and pass its changes on as the key's.
        addObserver(path, [this, key](const KeyValueChange&) {
            KeyValueChange change;
            change.keyPath = key;
            change.newValue = value(key);
            notify(key, change, 0);
        });
    }
}

void KeyValueObject::willChangeValueForKey(const QString& key)
{
    m_pendingOld[key].append(value(key));
    for (const QString& dependent : m_dependents.value(key)) {
        if (dependent != key && m_pendingOld.value(dependent).size() < MaximumNotificationDepth)
            willChangeValueForKey(dependent);
    }
}

void KeyValueObject::didChangeValueForKey(const QString& key)
{
    auto pending = m_pendingOld.find(key);
    KeyValueChange change;
    change.keyPath = key;
    if (pending != m_pendingOld.end() && !pending->isEmpty()) {
        change.oldValue = pending->takeLast();
        if (pending->isEmpty())
            m_pendingOld.erase(pending);
    }
    change.newValue = value(key);
    notify(key, change, 0);
    for (const QString& dependent : m_dependents.value(key)) {
        if (dependent != key && m_pendingOld.contains(dependent))
            didChangeValueForKey(dependent);
    }
}

void KeyValueObject::notify(const QString& key, const KeyValueChange& change, int depth)
{
    if (depth > MaximumNotificationDepth)
        return;
    // Observers may add or remove observers while they run: walk a copy.
    const QList<int> tokens = m_observersByKey.value(key);
    for (int token : tokens) {
        const auto registration = m_registrations.value(token);
        if (!registration)
            continue;
        if (registration->rest.isEmpty()) {
            KeyValueChange own = change;
            own.keyPath = registration->keyPath;
            registration->observer(own);
            continue;
        }
        // The first key of a longer path changed: the rest now lies on another object.
        registration->link(registration);
        KeyValueChange own;
        own.keyPath = registration->keyPath;
        own.oldValue = registration->cached;
        registration->cached = valueForKeyPath(registration->keyPath);
        own.newValue = registration->cached;
        registration->observer(own);
    }
}

void KeyValueObject::changeList(const QString& key, KeyValueChange::Kind kind, qsizetype index, const QVariant& item)
{
    QVariantList list = value(key).toList();
    QVariant oldItem;
    if (kind == KeyValueChange::Insertion) {
        if (index < 0 || index > list.size())
            return;
        list.insert(index, item);
    } else {
        if (index < 0 || index >= list.size())
            return;
        oldItem = list.at(index);
        if (kind == KeyValueChange::Removal)
            list.removeAt(index);
        else
            list[index] = item;
    }
    m_values.insert(key, list);
    didChangeList(key, kind, { index }, oldItem.isValid() ? QVariantList { oldItem } : QVariant(),
        kind == KeyValueChange::Removal ? QVariant() : QVariantList { item });
}

void KeyValueObject::insertValue(const QString& key, qsizetype index, const QVariant& item)
{
    changeList(key, KeyValueChange::Insertion, index, item);
}

void KeyValueObject::removeValue(const QString& key, qsizetype index)
{
    changeList(key, KeyValueChange::Removal, index, QVariant());
}

void KeyValueObject::replaceValue(const QString& key, qsizetype index, const QVariant& item)
{
    changeList(key, KeyValueChange::Replacement, index, item);
}

void KeyValueObject::didChangeList(const QString& key, KeyValueChange::Kind kind, const QList<qsizetype>& indexes,
    const QVariant& oldItems, const QVariant& newItems)
{
    KeyValueChange change;
    change.kind = kind;
    change.keyPath = key;
    change.indexes = indexes;
    change.oldValue = oldItems;
    change.newValue = newItems;
    notify(key, change, 0);
    notifyDependents(key, 0);
}

void KeyValueObject::notifyDependents(const QString& key, int depth)
{
    if (depth > MaximumNotificationDepth)
        return;
    for (const QString& dependent : m_dependents.value(key)) {
        if (dependent == key)
            continue;
        KeyValueChange change;
        change.keyPath = dependent;
        change.newValue = value(dependent);
        notify(dependent, change, depth + 1);
        notifyDependents(dependent, depth + 1);
    }
}

QVariant KeyValueObject::fromObject(const KeyValueObjectPtr& object)
{
    if (!object)
        return QVariant();
    return QVariant::fromValue(object);
}

KeyValueObjectPtr KeyValueObject::toObject(const QVariant& value)
{
    if (value.metaType() != QMetaType::fromType<KeyValueObjectPtr>())
        return nullptr;
    return value.value<KeyValueObjectPtr>();
}

} // namespace kit
