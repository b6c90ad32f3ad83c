#pragma once
// The component library window: a toolbar (view mode, help, search) over one of
// three interchangeable views of the components (tiles, grouped list, cover flow).
// It is the views' data source (the catalogue, or the current search's results)
// and their delegate (a chosen component opens its window).

#include "componentui/KELComponentLibraryView.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class KELComponentLibraryListView;
class KELComponentLibraryWindowController;
class KELComponentLibraryTileScrollView;
class KELComponentSearchIndex;
class KELComponentSearchToken;
class KELCoverFlowView;
class QButtonGroup;
class QLineEdit;
class QMainWindow;
class QStackedWidget;
class QToolBar;

class KELComponentLibraryController : public QObject,
                                      public KELComponentViewDataSource,
                                      public KELComponentViewDelegate {
    Q_OBJECT
public:
    enum ViewMode { TileMode = 0, ListMode = 1, CoverFlowMode = 2 };
    enum class WindowKind { Component, ImageMap };
    /// Opens a chosen component in its window; the component windows install it.
    using OpenComponentHandler = std::function<void(const std::shared_ptr<KELComponent>&, WindowKind)>;
    static OpenComponentHandler& openComponentHandler();

    static KELComponentLibraryController& sharedInstance();
    /// A library of these components, searched with index (the shared index when null).
    KELComponentLibraryController(QList<std::shared_ptr<KELComponent>> catalogue, KELComponentSearchIndex* index);
    ~KELComponentLibraryController() override;

    QMainWindow* window();
    /// Opens with an empty search each time the window was not showing.
    void showWindow();

    void selectView(int mode);
    KELComponentView* selectedView() const { return m_selectedView; }
    KELComponentLibraryTileScrollView* tileView() const { return m_tileView; }
    KELComponentLibraryListView* listView() const { return m_listView; }
    KELCoverFlowView* coverFlowView() const { return m_coverFlowView; }
    QLineEdit* toolbarSearchField() const { return m_toolbarSearchField; }
    QButtonGroup* viewModeSegmentedControl() const { return m_viewModeSegmentedControl; }
    QToolBar* toolbar() const { return m_toolbar; }

    /// The search field's action: an empty (or blank) text shows every component.
    void performSearch();
    const std::shared_ptr<KELComponentSearchToken>& searchToken() const { return m_searchToken; }
    /// Cancels the previous token; only the new one's results reach the views.
    void setSearchToken(std::shared_ptr<KELComponentSearchToken> token);

    /// The window comes back at the next start where it was (its frame is kept
    /// under "ComponentLibraryWindow" as well).
    static inline const QString RestorationClassName = QStringLiteral("KELComponentLibraryController");
    static inline const QString FrameAutosaveName = QStringLiteral("ComponentLibraryWindow");
    static void registerWindowRestoration();
    KELComponentLibraryWindowController* windowController() const { return m_windowController.get(); }

    QList<std::shared_ptr<KELComponent>> components() const override;
    void componentWasSelected(const std::shared_ptr<KELComponent>& component) override;
    void showHelp();

private:
    void buildWindow();
    void searchResultsDidUpdate();

    QList<std::shared_ptr<KELComponent>> m_catalogue;
    KELComponentSearchIndex* m_index = nullptr;
    QPointer<QMainWindow> m_window;
    QToolBar* m_toolbar = nullptr;
    QLineEdit* m_toolbarSearchField = nullptr;
    QButtonGroup* m_viewModeSegmentedControl = nullptr;
    QStackedWidget* m_stack = nullptr;
    KELComponentLibraryTileScrollView* m_tileView = nullptr;
    KELComponentLibraryListView* m_listView = nullptr;
    KELCoverFlowView* m_coverFlowView = nullptr;
    KELComponentView* m_selectedView = nullptr;
    std::shared_ptr<KELComponentSearchToken> m_searchToken;
    quint64 m_searchObserver = 0;
    std::unique_ptr<KELComponentLibraryWindowController> m_windowController;
};
