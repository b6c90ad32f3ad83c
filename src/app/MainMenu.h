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

/// Gives a main window (a document, the library, a component window, a viewer,
/// Code Clips, Preferences ...) that has none the application's menu bar, as every
/// main window has; answers whether it added one. A window without a layout to
/// hold it gets none (it takes the menus' keys instead).
bool KELInstallMenuBar(QWidget* window);

/// Gives a window without a menu bar of its own (a panel such as Find or Go to
/// Line, the component window) the menus' key equivalents, so that Ctrl+S and
/// the others reach the document behind it, as the panels' own buttons do. Keys
/// the window already uses stay its own; Close Window closes the window itself;
/// the commands about document windows (tabs, minimise, full screen) are left
/// out. Answers how many keys were added; a window that has its menu bar, a tool
/// window of another window (which shares that window's keys), or one that had
/// the keys already, gets none.
int KELAddMenuKeyEquivalents(QWidget* window);

/// Lists the installed browsers after "Default Browser" in the Preview With Browser menu,
/// each with its icon and, for the first nine, Ctrl+Alt+1 to 9; refilling replaces them.
void KELFillPreviewBrowserMenu(QMenu* menu);

/// The menu of a menu bar, or the item of a menu, with the given identifier.
QMenu* KELFindMenu(QMenuBar* bar, const QString& identifier);
class QAction;
QAction* KELFindMenuItem(QWidget* barOrMenu, const QString& identifier);

/// The Window menu's list: the open windows (documents, projects, the library,
/// component windows, viewers, Code Clips, Preferences ...), in the order they
/// first showed. Panels are left out: their commands bring them back.
QList<QWidget*> KELWindowMenuWindows();
bool KELIsWindowMenuWindow(const QWidget* window);
/// The window's title as the Window menu shows it.
QString KELWindowMenuTitle(const QWidget* window);
/// Lists the windows at the end of the menu (replacing an earlier list).
void KELFillWindowMenu(QMenu* menu);
/// Brings the window to the front (out of the dock when minimised).
void KELBringWindowToFront(QWidget* window);
