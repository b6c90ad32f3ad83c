#pragma once
// The code navigator: lists the current document's outline, filtered off the
// main thread by the view option and the search field. Choosing an entry selects
// and shows its text; the icon of a linked entry opens the file or web page.
//
// A window makes one controller, hosts navigatorView() beside its editor and calls
// setCurrentDocument() whenever its current document changes (with nulls when it
// has none), and cleanupBindings() before it lets the navigator go.

#include "kit/Types.h"
#include "syntax/KELArrayFilter.h"
#include "syntax/KELDocumentStructureItem.h"

#include <QObject>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QUrl>
#include <functional>

class KELCodeNavigatorView;
class KELDocumentStructure;
class KELSyntaxTextView;
class QAction;

class QModelIndex;

Q_DECLARE_METATYPE(KELDocumentStructureItemRef)

class KELCodeNavigatorViewController : public QObject
{
    Q_OBJECT
public:
    /// Values of the "KELNavigatorSelectedViewOption" default.
    enum ViewOption { ShowAll = 0, ShowContentOnly = 1, ShowReferencesOnly = 2 };

    explicit KELCodeNavigatorViewController(QObject* parent = nullptr);
    ~KELCodeNavigatorViewController() override;

    /// The pane, made on first use. A window that places it takes it over; an
    /// unplaced pane goes with the controller.
    KELCodeNavigatorView* navigatorView();
    /// Stops following the document's outline.
    void cleanupBindings();

    /// The document shown: its outline, its text view and where it is saved (an
    /// empty URL for an untitled document). A different document clears the selection.
    void setCurrentDocument(
        KELDocumentStructure* structure, KELSyntaxTextView* textView, std::function<QUrl()> fileURL = {});
    KELDocumentStructure* currentStructure() const { return m_structure; }
    KELSyntaxTextView* currentTextView() const { return m_textView; }

    /// The search field's predicate; none when the search is empty.
    const KELArrayFilter::Predicate& searchPredicate() const { return m_searchPredicate; }
    void setSearchPredicate(KELArrayFilter::Predicate predicate);
    /// What the search field sets: entries whose name holds the text, ignoring case.
    void setSearchString(const QString& text);

    /// Opens the linked file or page of the selected entry.
    void goToFile();
    /// Stores the view option 0, 1 or 2; other values do nothing.
    void selectViewOption(int tag);
    static int viewOption();

    static KELArrayFilter::Predicate displayedItemsPredicate(int viewOption);
    void updateArrayFilterPredicate();
    void updateSearchPlaceholderText();

    KELArrayFilter* arrayFilter() const { return m_arrayFilter; }
    /// The entries the list shows now.
    QList<KELDocumentStructureItemRef> arrangedObjects() const;
    QList<KELDocumentStructureItemRef> selectedItems() const { return m_selectedItems; }
    /// The view option menu of the search field.
    QMenu* viewOptionMenu() const { return m_viewOptionMenu; }

    /// Opens a local file in the program; answers whether it did. The window sets it.
    using OpenFileHandler = std::function<bool(const QString& path)>;
    void setOpenFileHandler(OpenFileHandler handler) { m_openFile = std::move(handler); }
    /// Hands a web address to the desktop (by default the desktop's browser).
    using OpenURLHandler = std::function<void(const QUrl& url)>;
    void setOpenURLHandler(OpenURLHandler handler) { m_openURL = std::move(handler); }

    /// An icon for an item's image name ("NavLink", "NavFunction" ...).
    static QIcon iconForImageName(const QString& imageName);

Q_SIGNALS:
    /// The outline of the current document changed (or another document is shown).
    void itemsChanged();
    /// An entry was chosen; its text range was selected in the text view.
    void didSelectRange(kit::Range range);

private:
    class ItemModel;
    void loadView();
    void structureChanged();
    void selectionChanged();
    void filteredArrayChanged();
    void tableClicked(const QModelIndex& index);
    void updateViewOptionMenu();
    QVariantList currentItems() const;

    KELArrayFilter* m_arrayFilter = nullptr;
    QPointer<KELCodeNavigatorView> m_view;
    QPointer<ItemModel> m_model;
    QPointer<QMenu> m_viewOptionMenu;
    QList<QAction*> m_viewOptionActions;
    QList<KELDocumentStructureItemRef> m_selectedItems;
    QPointer<KELDocumentStructure> m_structure;
    QPointer<KELSyntaxTextView> m_textView;
    std::function<QUrl()> m_fileURL;
    QList<QMetaObject::Connection> m_structureConnections;
    bool m_structureChangePending = false;
    bool m_restoringSelection = false;
    KELArrayFilter::Predicate m_searchPredicate;
    OpenFileHandler m_openFile;
    OpenURLHandler m_openURL;
};
