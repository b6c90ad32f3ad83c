#pragma once
// The application's menu bar: one shared model, from which every main window
// builds its own QMenuBar. Items send named actions through the responder chain
// and are enabled by its validation.

#include <QKeySequence>
#include <QList>
#include <QString>

class QMenu;
class QMenuBar;
class QWidget;

struct KELMenuItemSpec {
    QString title;      // empty: a separator
    QString action;     // the action sent ("saveDocument:"); empty for submenus
    QKeySequence shortcut;
    QList<QKeySequence> alternateShortcuts; // the same command under other keys
    int tag = 0;
    QString identifier; // names items that code looks up (recent projects, close tab ...)
    QList<KELMenuItemSpec> submenu;
    bool checkable = false;
    QString data;       // the item's data when set (else its tag)
};

struct KELMenuSpec {
    QString title;
    QString identifier;
    QList<KELMenuItemSpec> items;
};

/// The model of the whole menu bar, in order.
const QList<KELMenuSpec>& KELMainMenuModel();

/// Builds a menu bar for a window from the model; actions are attached to the
/// shared action router.
QMenuBar* KELBuildMenuBar(QWidget* window);

/// The menu of a menu bar, or the item of a menu, with the given identifier.
QMenu* KELFindMenu(QMenuBar* bar, const QString& identifier);
class QAction;
QAction* KELFindMenuItem(QWidget* barOrMenu, const QString& identifier);
