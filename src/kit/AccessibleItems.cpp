#include "kit/AccessibleItems.h"

#include "kit/Accessibility.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <optional>

namespace kit {

namespace {

QHash<QString, AccessibleItemsDescription>& registry()
{
    static QHash<QString, AccessibleItemsDescription> r;
    return r;
}

class ItemsViewInterface;

/// One item of a view, known by its path (index in the view, index among its parent's
/// children, …).
class ItemInterface : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ItemInterface(ItemsViewInterface* owner, QList<int> path) : m_owner(owner), m_path(std::move(path)) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    const QList<int>& path() const { return m_path; }

private:
    std::optional<AccessibleItem> item() const;
    ItemsViewInterface* m_owner;
    QList<int> m_path;
};

class ItemsViewInterface : public QAccessibleWidget {
public:
    ItemsViewInterface(QWidget* w, const AccessibleItemsDescription& d)
        : QAccessibleWidget(w, d.role), m_description(d)
    {
    }
    ~ItemsViewInterface() override
    {
        for (QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
    }

    QWidget* view() const { return widget(); }
    QList<AccessibleItem> items() const
    {
        return isValid() && m_description.items ? m_description.items(widget()) : QList<AccessibleItem>();
    }
    std::optional<AccessibleItem> itemAt(const QList<int>& path) const
    {
        QList<AccessibleItem> level = items();
        std::optional<AccessibleItem> found;
        for (int i : path) {
            if (i < 0 || i >= level.size())
                return std::nullopt;
            found = level[i];
            level = found->children;
        }
        return found;
    }
    /// The interface of the item at path (made and registered on first use).
    QAccessibleInterface* itemInterface(const QList<int>& path) const
    {
        auto it = m_children.constFind(path);
        if (it != m_children.constEnd())
            return QAccessible::accessibleInterface(*it);
        auto* iface = new ItemInterface(const_cast<ItemsViewInterface*>(this), path);
        m_children.insert(path, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }
    QRect toScreen(const QRect& r) const
    {
        return r.isNull() ? QRect() : QRect(widget()->mapToGlobal(r.topLeft()), r.size());
    }

    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty() && m_description.name)
            s = m_description.name(widget());
        return s;
    }
    int childCount() const override { return int(items().size()) + QAccessibleWidget::childCount(); }
    QAccessibleInterface* child(int index) const override
    {
        const int n = int(items().size());
        if (index < 0)
            return nullptr;
        if (index < n)
            return itemInterface({index});
        return QAccessibleWidget::child(index - n);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (auto* item = dynamic_cast<const ItemInterface*>(child)) {
            if (item->path().size() == 1 && item->path().first() < items().size())
                return item->path().first();
            return -1;
        }
        const int i = QAccessibleWidget::indexOfChild(child);
        return i < 0 ? -1 : i + int(items().size());
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QList<AccessibleItem> list = items();
        for (int i = 0; i < list.size(); ++i) {
            if (toScreen(list[i].rect).contains(x, y))
                return itemInterface({i});
        }
        return QAccessibleWidget::childAt(x, y);
    }

private:
    AccessibleItemsDescription m_description;
    mutable QHash<QList<int>, QAccessible::Id> m_children;
};

std::optional<AccessibleItem> ItemInterface::item() const
{
    return m_owner->itemAt(m_path);
}

bool ItemInterface::isValid() const
{
    return m_owner->isValid() && item().has_value();
}

QWindow* ItemInterface::window() const
{
    return m_owner->window();
}

QAccessibleInterface* ItemInterface::parent() const
{
    if (m_path.size() <= 1)
        return m_owner;
    return m_owner->itemInterface(m_path.first(m_path.size() - 1));
}

QAccessibleInterface* ItemInterface::child(int index) const
{
    const auto it = item();
    if (!it || index < 0 || index >= it->children.size())
        return nullptr;
    return m_owner->itemInterface(m_path + QList<int>{index});
}

int ItemInterface::childCount() const
{
    const auto it = item();
    return it ? int(it->children.size()) : 0;
}

int ItemInterface::indexOfChild(const QAccessibleInterface* child) const
{
    auto* other = dynamic_cast<const ItemInterface*>(child);
    if (!other || other->m_path.size() != m_path.size() + 1 || other->m_path.first(m_path.size()) != m_path)
        return -1;
    return other->m_path.last() < childCount() ? other->m_path.last() : -1;
}

QAccessibleInterface* ItemInterface::childAt(int x, int y) const
{
    const auto it = item();
    if (!it)
        return nullptr;
    for (int i = 0; i < it->children.size(); ++i) {
        if (m_owner->toScreen(it->children[i].rect).contains(x, y))
            return m_owner->itemInterface(m_path + QList<int>{i});
    }
    return nullptr;
}

QString ItemInterface::text(QAccessible::Text t) const
{
    const auto it = item();
    if (!it)
        return QString();
    if (t == QAccessible::Name)
        return it->name;
    if (t == QAccessible::Description)
        return it->description;
    return QString();
}

QRect ItemInterface::rect() const
{
    const auto it = item();
    return it ? m_owner->toScreen(it->rect) : QRect();
}

QAccessible::Role ItemInterface::role() const
{
    const auto it = item();
    return it ? it->role : QAccessible::NoRole;
}

QAccessible::State ItemInterface::state() const
{
    const auto it = item();
    if (!it) {
        QAccessible::State gone;
        gone.invalid = true;
        return gone;
    }
    QAccessible::State s = it->state;
    if (!m_owner->view()->isVisible())
        s.invisible = true;
    return s;
}

QStringList ItemInterface::actionNames() const
{
    const auto it = item();
    return it && it->press ? QStringList{pressAction()} : QStringList();
}

void ItemInterface::doAction(const QString& actionName)
{
    const auto it = item();
    if (it && it->press && actionName == pressAction()) {
        const std::function<void()> press = it->press; // the action may change the items
        press();
    }
}

QAccessibleInterface* itemsFactory(const QString& key, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto it = registry().constFind(key);
    if (it == registry().constEnd())
        return nullptr;
    return new ItemsViewInterface(static_cast<QWidget*>(object), *it);
}

} // namespace

void registerAccessibleItems(const char* className, AccessibleItemsDescription description)
{
    static const bool installed = [] {
        QAccessible::installFactory(itemsFactory);
        return true;
    }();
    Q_UNUSED(installed);
    registry().insert(QString::fromLatin1(className), std::move(description));
}

void notifyAccessibleItem(QWidget* view, int index, QAccessible::Event event)
{
    if (!view || !isAccessibilityListening())
        return;
    QAccessibleEvent e(view, event);
    e.setChild(index);
    sendAccessibilityEvent(e);
}

} // namespace kit
