#pragma once
// Accessibility for views that draw their own items (tabs, tiles, markers, regions):
// a view registers how to list what it shows, and assistive technology sees each
// item as a child with a role, name, description, box and state, and a press action
// where the item has one.
//
// Items are listed afresh on every question, so they always tell what the view
// shows now; an item is known by its place in the list.

#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>
#include <functional>

class QWidget;

namespace kit {

struct AccessibleItem {
    QAccessible::Role role = QAccessible::ListItem;
    QString name;
    QString description;
    /// In the view's own coordinates.
    QRect rect;
    QAccessible::State state;
    /// What pressing the item does (its default action); none when empty.
    std::function<void()> press;
    QList<AccessibleItem> children;
};

struct AccessibleItemsDescription {
    /// The view's own role.
    QAccessible::Role role = QAccessible::List;
    /// The view's name when it has no accessible name of its own (optional).
    std::function<QString(QWidget*)> name;
    /// The items the view shows, in reading order.
    std::function<QList<AccessibleItem>(QWidget*)> items;
};

/// Makes views of the class (its meta-object class name) accessible through the
/// description. Registering a class again replaces its description.
void registerAccessibleItems(const char* className, AccessibleItemsDescription description);

/// Tells assistive technology that something happened to the view's item at index
/// (Focus, Selection, NameChanged…: the events without a matching event class), or to
/// the view itself for index -1.
/// Does nothing while no assistive technology listens.
void notifyAccessibleItem(QWidget* view, int index, QAccessible::Event event);

} // namespace kit
