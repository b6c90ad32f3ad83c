#pragma once
// The tab bar at the top of a document window's editor area: keeps the
// window's tabs in order and the selected one, lays them out at equal widths
// between 80 and 200 points with scroll arrows when they do not fit, draws
// them, lets the user click, close, reorder and drag them to other windows or
// out into a new window, slides them into place and archives the list for
// window restoration.

#include "document/Tab.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class QMenu;
class QMimeData;
class QTimer;
class TabView;
namespace kit {
struct AccessibleItem;
}

/// Receives the bar's events (the tabbed editor controller). Every call is
/// optional; the defaults do what the bar does without a delegate.
class TabViewDelegate {
public:
    virtual ~TabViewDelegate() = default;
    virtual void tabViewSelectionDidChange(TabView*) {}
    /// The user asked to close the tab; the default removes it.
    virtual void tabViewTabRequestClose(TabView* view, Tab* tab);
    virtual void tabViewTabDidClose(TabView*, Tab*) {}
    /// The tab arrived in this bar from another one.
    virtual void tabViewTabDraggedTo(TabView*, Tab*) {}
    /// The tab left this bar (for another bar or a new window).
    virtual void tabViewTabDraggedFrom(TabView*, Tab*) {}
    virtual MyDocument* makeUntitledDocument() { return nullptr; }
};

/// The arithmetic of the layout, kept apart so it can be checked alone.
struct KELTabLayout {
    double tabWidth = 0;
    qint64 numVisibleTabs = 0;
    qint64 leftVisibleTab = 0;
    bool scrollersVisible = false;
    double scrollOffset = 0;
    QList<double> tabX;      // left edge of each tab
    QList<double> tabXRight; // right edge of each tab
};

inline const QString KELSelectedTabDidChangeNotification = QStringLiteral("KELSelectedTabDidChangeNotification");

class TabView : public QWidget {
    Q_OBJECT
public:
    static constexpr double MinimumTabWidth = 80;
    static constexpr double MaximumTabWidth = 200;
    /// A tab's title in the room it has: cut in the middle, so that narrow tabs
    /// of "index.html" and "index.css" still tell themselves apart.
    static QString displayTitle(const QString& name, const QFont& font, qreal width);

    explicit TabView(QWidget* parent = nullptr);
    ~TabView() override;

    static KELTabLayout computeLayout(double boundsWidth, qsizetype tabCount, qint64 leftVisibleTab,
                                      qsizetype selectedIndex, bool scrollToSelection);

    // -- Tabs
    qsizetype numTabs() const { return m_tabs.size(); }
    const QList<Tab*>& tabs() const { return m_tabs; }
    QList<Tab*> allTabs() const { return m_tabs; }
    const QList<Tab*>& activeTabs() const { return m_activeTabs; }
    Tab* selectedTab() const { return m_selectedTab; }
    TabViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(TabViewDelegate* delegate) { m_delegate = delegate; }
    bool allowsNoTabs() const { return m_allowsNoTabs; }
    void setAllowsNoTabs(bool allows);
    bool allowsDragAcrossTabViews() const { return m_allowsDragAcrossTabViews; }
    void setAllowsDragAcrossTabViews(bool allows) { m_allowsDragAcrossTabViews = allows; }

    /// Paths compared exactly (Linux file systems tell case apart).
    Tab* tabWithPath(const QString& path) const;
    Tab* tabWithDocument(MyDocument* document) const;
    /// Adds the tab (the bar owns it), puts it at the end and selects it.
    void addTab(Tab* tab);
    void removeTab(Tab* tab);
    void closeTab(Tab* tab);
    void requestTabClose(Tab* tab);
    void setSelectedTab(Tab* tab);
    void selectNextTab();
    void selectPreviousTab();
    void revealInDocumentTree(Tab* tab);
    bool openInNewWindow(Tab* tab) { return openInNewWindow(tab, false, QPoint()); }
    /// Moves the tab's document into a new standalone window, placed with its tab
    /// bar at the global point when usePoint is set. Answers whether it did.
    bool openInNewWindow(Tab* tab, bool usePoint, QPoint globalPoint);

    /// Makes a new standalone window holding the document as its current one and
    /// answers that window (not shown yet); null when none can be made.
    using NewWindowMaker = std::function<QWidget*(MyDocument* document)>;
    static void setNewWindowMaker(NewWindowMaker maker);
    /// Asked to reveal a path in the project tree of the window (project windows).
    using RevealHandler = std::function<bool(QWidget* window, const QString& path)>;
    static void setRevealHandler(RevealHandler handler);
    /// Whether the window belongs to a project (for the context menu); without a
    /// test, project windows carry the property "kelpProjectWindow".
    using ProjectWindowTest = std::function<bool(QWidget* window)>;
    static void setProjectWindowTest(ProjectWindowTest test);

    // -- Layout
    void invalidateTabDimensions() { invalidateTabDimensionsWithScrollToSelection(false, true); }
    void invalidateTabDimensionsWithScrollToSelection(bool scroll) { invalidateTabDimensionsWithScrollToSelection(scroll, true); }
    void invalidateTabDimensionsWithScrollToSelection(bool scroll, bool animate);
    double tabWidth() const { return m_tabWidth; }
    qint64 numVisibleTabs() const { return m_numVisibleTabs; }
    qint64 leftVisibleTab() const { return m_leftVisibleTab; }
    bool scrollersVisible() const { return m_scrollersVisible; }
    double scrollOffset() const { return m_scrollOffset; }
    double targetScrollOffset() const { return m_targetScrollOffset; }
    bool isAnimating() const { return m_isAnimating; }
    /// One frame of the slide animation after dt seconds; answers whether
    /// anything still moves. The timer calls it every 20 ms.
    bool animationStep(double dt);
    /// Tests: run the animation to its end at once.
    void finishAnimation();
    /// The rectangle of the tab at its last drawing / layout.
    QRectF rectForTab(Tab* tab) const;
    Tab* tabForPoint(QPointF point) const;

    // -- Restoration ("KELTabs" and "KELSelectedTab")
    void encodeWithCoder(QVariantMap& state) const;
    void restoreWithCoder(const QVariantMap& state);
    void invalidateRestorableState();

    // -- Menus and dragging
    /// The context menu at a point of the bar (null when there is none); the
    /// caller owns it.
    QMenu* menuForPoint(QPointF point);
    Tab* draggedTab() const { return m_draggedTab; }
    bool isDragging() const { return m_isDragging; }
    /// Placeholder handling of a drag over this bar (also used by tests).
    void updatePlaceholderForDragPoint(QPointF point);
    void setPlaceholderIndex(qsizetype index);
    bool removePlaceholders();
    qsizetype placeholderIndex() const;
    /// Drops the source's dragged tab on the placeholder; false without one.
    bool performDrop(TabView* source);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void restorableStateChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /// What a screen reader is told the bar shows.
    QList<kit::AccessibleItem> accessibleTabs();
    static NewWindowMaker& newWindowMaker();
    static RevealHandler& revealHandler();
    static ProjectWindowTest& projectWindowTest();
    void insertActiveTab(Tab* tab, qsizetype index);
    void removeActiveTab(Tab* tab, bool updateSelection);
    void recomputeTabDimensions(bool scrollToSelection);
    void animateTabChanges();
    void updateRollovers(QPointF point);
    void updateScrolling(QPointF point);
    void startDrag(Tab* tab, QPointF point);
    void draggingEnded(Qt::DropAction action, QPoint globalEnd);
    void updateSelectedTabAfterDrag();
    bool acceptsDrag(const QMimeData* data, QObject* source, Qt::DropActions actions) const;
    bool acceptsDragFrom(TabView* source) const;
    static bool usesInternalDrag();
    void internalDragMove(QPoint global);
    void internalDragDrop(QPoint global);
    QRectF leftScrollerRect() const;
    QRectF rightScrollerRect() const;
    QRectF tabsRect() const;
    void drawTab(QPainter& p, Tab* tab, const QRectF& r, bool selected, bool forDrag);
    void drawSelectedBackground(QPainter& p, const QRectF& r);
    void drawScroller(QPainter& p, const QRectF& r, bool left);
    bool showsCloseButtons() const;
    QPixmap image(const QString& name) const;

    QList<Tab*> m_tabs;
    QList<Tab*> m_activeTabs;
    QPointer<Tab> m_selectedTab;
    TabViewDelegate* m_delegate = nullptr;
    bool m_restored = false;
    bool m_allowsNoTabs = false;
    bool m_allowsDragAcrossTabViews = false;

    bool m_isAnimating = false;
    QTimer* m_animationTimer = nullptr;
    QElapsedTimer m_frameClock;
    double m_tabWidth = 0;
    qint64 m_numVisibleTabs = 0;
    qint64 m_leftVisibleTab = 0;
    bool m_scrollersVisible = false;
    bool m_targetScrollersVisible = false;
    double m_scrollOffset = 0;
    double m_targetScrollOffset = 0;
    bool m_isScrollingLeft = false;
    bool m_isScrollingRight = false;
    bool m_isRolloverLeftArrow = false;
    bool m_isRolloverRightArrow = false;
    QPointer<Tab> m_rolloverCloseTab;
    QPointer<Tab> m_pressedCloseTab;
    QPointF m_mouseDownPoint{-1000, -1000};
    QPointer<Tab> m_draggedTab;
    bool m_isDragging = false;
    qsizetype m_draggedTabIndex = 0;
    bool m_internalDrag = false;
    QPoint m_dragHotSpot;
    QPointer<TabView> m_dragTarget;
    mutable QHash<QString, QPixmap> m_images;
};
