#include "document/TabView.h"

#include "kit/AccessibleItems.h"

#include "document/MyDocument.h"
#include "kit/NotificationCenter.h"
#include "support/InterfaceHelpers.h"
#include "support/ColorAdditions.h"

#include <QApplication>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>
#include <cmath>
#include <limits>

TabView::NewWindowMaker& TabView::newWindowMaker()
{
    static NewWindowMaker maker;
    return maker;
}
TabView::RevealHandler& TabView::revealHandler()
{
    static RevealHandler handler;
    return handler;
}
TabView::ProjectWindowTest& TabView::projectWindowTest()
{
    static ProjectWindowTest test;
    return test;
}

namespace {
QColor grey(double g)
{
    return QColor::fromRgbF(float(g), float(g), float(g), 1.0f);
}
} // namespace

void TabViewDelegate::tabViewTabRequestClose(TabView* view, Tab* tab)
{
    view->removeTab(tab);
}

void TabView::setNewWindowMaker(NewWindowMaker maker) { newWindowMaker() = std::move(maker); }
void TabView::setRevealHandler(RevealHandler handler) { revealHandler() = std::move(handler); }
void TabView::setProjectWindowTest(ProjectWindowTest test) { projectWindowTest() = std::move(test); }

TabView::TabView(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(int(KELTabHeight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_animationTimer = new QTimer(this);
    m_animationTimer->setInterval(20);
    connect(m_animationTimer, &QTimer::timeout, this, [this] {
        const double dt = m_frameClock.restart() / 1000.0;
        if (!animationStep(dt)) {
            m_isAnimating = false;
            m_animationTimer->stop();
        }
        update();
    });
    invalidateTabDimensionsWithScrollToSelection(true, false);
    // The selected tab's shading follows whether the window is active.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this] { update(); });
    static const bool accessible = [] {
        kit::AccessibleItemsDescription d;
        d.role = QAccessible::PageTabList;
        d.name = [](QWidget*) { return tr("Tabs"); };
        d.items = [](QWidget* w) { return static_cast<TabView*>(w)->accessibleTabs(); };
        kit::registerAccessibleItems(staticMetaObject.className(), std::move(d));
        return true;
    }();
    Q_UNUSED(accessible);
}

QList<kit::AccessibleItem> TabView::accessibleTabs()
{
    // Each tab, selectable by a press, with its close button when the bar shows them.
    QList<kit::AccessibleItem> items;
    const QRectF area = tabsRect();
    const QPixmap close = image(QStringLiteral("CloseTab"));
    for (Tab* tab : std::as_const(m_tabs)) {
        kit::AccessibleItem item;
        item.role = QAccessible::PageTab;
        item.name = tab->name();
        item.description = tab->description();
        const QRectF r = rectForTab(tab);
        item.rect = r.toAlignedRect();
        item.state.selectable = true;
        item.state.selected = tab == m_selectedTab;
        item.state.offscreen = !m_activeTabs.contains(tab) || !r.intersects(area);
        QPointer<Tab> guard(tab);
        item.press = [this, guard] {
            if (guard)
                setSelectedTab(guard);
        };
        if (showsCloseButtons()) {
            kit::AccessibleItem button;
            button.role = QAccessible::Button;
            button.name = tr("Close %1").arg(tab->name());
            const QSizeF size = close.deviceIndependentSize();
            button.rect = QRectF(r.x() + 4.5, r.y() + (r.height() - size.height()) / 2, size.width(), size.height())
                              .toAlignedRect();
            button.state.offscreen = item.state.offscreen;
            button.press = [this, guard] {
                if (guard)
                    requestTabClose(guard);
            };
            item.children.append(button);
        }
        items.append(item);
    }
    return items;
}

TabView::~TabView()
{
    // Tabs are children; they go with the bar.
    m_delegate = nullptr;
}

QSize TabView::sizeHint() const { return QSize(400, int(KELTabHeight)); }
QSize TabView::minimumSizeHint() const { return QSize(0, int(KELTabHeight)); }

KELTabLayout TabView::computeLayout(double boundsWidth, qsizetype tabCount, qint64 leftVisibleTab,
                                    qsizetype selectedIndex, bool scrollToSelection)
{
    KELTabLayout layout;
    const qint64 n = tabCount;
    const double W = boundsWidth + 1;
    layout.numVisibleTabs = n;
    layout.scrollersVisible = false;
    layout.leftVisibleTab = leftVisibleTab;
    const double w = n > 0 ? W / double(n) : std::numeric_limits<double>::infinity();
    if (w < MinimumTabWidth) {
        layout.scrollersVisible = true;
        const double usable = std::max(0.0, W - 2 * KELTabScrollerWidth);
        layout.numVisibleTabs = qint64(usable / MinimumTabWidth);
        layout.tabWidth = layout.numVisibleTabs >= 1 ? usable / double(layout.numVisibleTabs) : MinimumTabWidth;
        if (layout.leftVisibleTab + layout.numVisibleTabs > n)
            layout.leftVisibleTab = n - layout.numVisibleTabs;
    } else {
        layout.leftVisibleTab = 0;
        layout.tabWidth = std::min(w, MaximumTabWidth);
    }
    if (scrollToSelection && selectedIndex >= 0 && selectedIndex < n) {
        if (selectedIndex < layout.leftVisibleTab)
            layout.leftVisibleTab = selectedIndex;
        else if (selectedIndex >= layout.leftVisibleTab + layout.numVisibleTabs)
            layout.leftVisibleTab = selectedIndex + 1 - layout.numVisibleTabs;
    }
    double previous = 0;
    for (qint64 k = 0; k < n; ++k) {
        layout.tabX.append(previous);
        previous = std::trunc(double(k + 1) * layout.tabWidth);
        layout.tabXRight.append(previous);
    }
    layout.scrollOffset = std::trunc(-double(layout.leftVisibleTab) * layout.tabWidth);
    return layout;
}

// ---------------------------------------------------------------- tab list

void TabView::setAllowsNoTabs(bool allows)
{
    m_allowsNoTabs = allows;
    update();
}

Tab* TabView::tabWithPath(const QString& path) const
{
    for (Tab* tab : m_tabs)
        if (tab->path() == path)
            return tab;
    return nullptr;
}

Tab* TabView::tabWithDocument(MyDocument* document) const
{
    if (!document)
        return nullptr;
    for (Tab* tab : m_tabs)
        if (tab->document() == document)
            return tab;
    return nullptr;
}

void TabView::addTab(Tab* tab)
{
    if (!tab)
        return;
    if (!m_tabs.contains(tab))
        m_tabs.append(tab);
    tab->setParent(this);
    insertActiveTab(tab, m_activeTabs.size());
    tab->setTabView(this);
    setSelectedTab(tab);
    invalidateTabDimensionsWithScrollToSelection(true);
    invalidateRestorableState();
}

void TabView::removeTab(Tab* tab)
{
    closeTab(tab);
    invalidateTabDimensionsWithScrollToSelection(true);
    invalidateRestorableState();
}

void TabView::closeTab(Tab* tab)
{
    if (!tab || !m_tabs.contains(tab))
        return;
    m_tabs.removeAll(tab);
    if (tab->tabView() == this)
        tab->setTabView(nullptr);
    removeActiveTab(tab, true);
    // Kept until the current event ends: callers up the stack may still hold it.
    tab->setParent(nullptr);
    tab->deleteLater();
    if (m_delegate)
        m_delegate->tabViewTabDidClose(this, tab);
}

void TabView::requestTabClose(Tab* tab)
{
    if (m_delegate)
        m_delegate->tabViewTabRequestClose(this, tab);
    else
        removeTab(tab);
}

void TabView::setSelectedTab(Tab* tab)
{
    if (tab && !m_tabs.contains(tab))
        return;
    if (tab == m_selectedTab)
        return;
    m_selectedTab = tab;
    if (tab)
        kit::notifyAccessibleItem(this, int(m_tabs.indexOf(tab)), QAccessible::Selection);
    if (m_delegate)
        m_delegate->tabViewSelectionDidChange(this);
    kit::NotificationCenter::defaultCenter().post(KELSelectedTabDidChangeNotification, this);
}

void TabView::insertActiveTab(Tab* tab, qsizetype index)
{
    if (m_activeTabs.contains(tab))
        return;
    const qsizetype count = m_activeTabs.size();
    if (index >= count) {
        index = count;
        tab->tabX = double(count) * m_tabWidth;
        tab->tabXRight = double(count + 1) * m_tabWidth;
    } else {
        index = std::max<qsizetype>(0, index);
        tab->tabX = m_activeTabs[index]->tabX;
        tab->tabXRight = m_activeTabs[index]->tabXRight;
    }
    tab->targetTabX = tab->tabX;
    tab->targetTabXRight = tab->tabXRight;
    m_activeTabs.insert(index, tab);
    invalidateRestorableState();
}

void TabView::removeActiveTab(Tab* tab, bool updateSelection)
{
    if (m_rolloverCloseTab == tab)
        m_rolloverCloseTab = nullptr;
    if (m_pressedCloseTab == tab)
        m_pressedCloseTab = nullptr;
    const qsizetype index = m_activeTabs.indexOf(tab);
    if (index < 0)
        return;
    m_activeTabs.removeAt(index);
    invalidateRestorableState();
    if (updateSelection && m_selectedTab == tab) {
        if (m_activeTabs.isEmpty())
            setSelectedTab(nullptr);
        else
            setSelectedTab(m_activeTabs[std::min(index, m_activeTabs.size() - 1)]);
    }
}

void TabView::selectNextTab()
{
    if (!m_selectedTab)
        return;
    const qsizetype i = m_activeTabs.indexOf(m_selectedTab);
    if (i < 0 || i + 1 >= m_activeTabs.size()) {
        QApplication::beep();
        return;
    }
    setSelectedTab(m_activeTabs[i + 1]);
    invalidateTabDimensionsWithScrollToSelection(true);
}

void TabView::selectPreviousTab()
{
    if (!m_selectedTab)
        return;
    const qsizetype i = m_activeTabs.indexOf(m_selectedTab);
    if (i <= 0) {
        QApplication::beep();
        return;
    }
    setSelectedTab(m_activeTabs[i - 1]);
    invalidateTabDimensionsWithScrollToSelection(true);
}

void TabView::revealInDocumentTree(Tab* tab)
{
    if (tab && revealHandler())
        revealHandler()(window(), tab->path());
}

// ---------------------------------------------------------------- layout

void TabView::recomputeTabDimensions(bool scrollToSelection)
{
    const qsizetype selected = m_selectedTab ? m_activeTabs.indexOf(m_selectedTab) : -1;
    const KELTabLayout layout = computeLayout(width(), m_activeTabs.size(), m_leftVisibleTab, selected, scrollToSelection);
    m_numVisibleTabs = layout.numVisibleTabs;
    m_targetScrollersVisible = layout.scrollersVisible;
    m_tabWidth = layout.tabWidth;
    m_leftVisibleTab = layout.leftVisibleTab;
    for (qsizetype k = 0; k < m_activeTabs.size(); ++k) {
        m_activeTabs[k]->targetTabX = layout.tabX[k];
        m_activeTabs[k]->targetTabXRight = layout.tabXRight[k];
    }
    m_targetScrollOffset = layout.scrollOffset;
}

void TabView::invalidateTabDimensionsWithScrollToSelection(bool scroll, bool animate)
{
    recomputeTabDimensions(scroll);
    if (animate) {
        animateTabChanges();
    } else {
        m_scrollersVisible = m_targetScrollersVisible;
        m_scrollOffset = m_targetScrollOffset;
        for (Tab* tab : std::as_const(m_activeTabs)) {
            tab->tabX = tab->targetTabX;
            tab->tabXRight = tab->targetTabXRight;
        }
    }
    update();
}

void TabView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A resize follows the window at once; only changes of the tabs slide.
    invalidateTabDimensionsWithScrollToSelection(false, false);
}

QRectF TabView::tabsRect() const
{
    QRectF r(rect());
    if (m_scrollersVisible)
        r.adjust(KELTabScrollerWidth, 0, -KELTabScrollerWidth, 0);
    return r;
}

QRectF TabView::leftScrollerRect() const { return QRectF(-0.5, 0, KELTabScrollerWidth, KELTabHeight); }

QRectF TabView::rightScrollerRect() const
{
    return QRectF(width() - KELTabScrollerWidth + 0.5, 0, KELTabScrollerWidth, KELTabHeight);
}

QRectF TabView::rectForTab(Tab* tab) const
{
    return tab ? tab->tabRectWithScrollersVisible(m_scrollersVisible, m_scrollOffset) : QRectF();
}

Tab* TabView::tabForPoint(QPointF point) const
{
    const QRectF area = tabsRect();
    for (Tab* tab : m_activeTabs) {
        if (tab->isPlaceholder())
            continue;
        if (rectForTab(tab).intersected(area).contains(point))
            return tab;
    }
    return nullptr;
}

// ---------------------------------------------------------------- restoration

void TabView::encodeWithCoder(QVariantMap& state) const
{
    QVariantList tabs;
    qsizetype selected = -1;
    for (Tab* tab : m_activeTabs) {
        if (tab->isPlaceholder())
            continue;
        if (tab == m_selectedTab)
            selected = tabs.size();
        tabs.append(tab->encodeWithCoder());
    }
    state.insert(QStringLiteral("KELTabs"), tabs);
    state.insert(QStringLiteral("KELSelectedTab"), selected);
}

void TabView::restoreWithCoder(const QVariantMap& state)
{
    if (m_restored)
        return;
    m_restored = true;
    if (!state.contains(QStringLiteral("KELTabs")))
        return;
    const QVariantList archived = state.value(QStringLiteral("KELTabs")).toList();
    const qsizetype selectedIndex = state.value(QStringLiteral("KELSelectedTab"), -1).toLongLong();
    for (Tab* tab : std::as_const(m_tabs)) {
        tab->setTabView(nullptr);
        tab->deleteLater();
    }
    m_tabs.clear();
    m_activeTabs.clear();
    m_selectedTab = nullptr;
    Tab* selected = nullptr;
    for (qsizetype i = 0; i < archived.size(); ++i) {
        Tab* tab = Tab::fromArchive(archived[i].toMap(), this);
        tab->setTabView(this);
        const QString path = tab->path();
        if (path.isEmpty() && tab->autosaveURL().isEmpty()) {
            if (m_delegate)
                tab->setDocument(m_delegate->makeUntitledDocument());
            if (!tab->safeDocument()) {
                tab->setTabView(nullptr);
                delete tab;
                continue;
            }
        } else if (!path.isEmpty() && !QFileInfo::exists(path)) {
            tab->setTabView(nullptr);
            delete tab;
            continue;
        }
        m_tabs.append(tab);
        if (i == selectedIndex)
            selected = tab;
    }
    m_activeTabs = m_tabs;
    if (!selected && !m_tabs.isEmpty())
        selected = m_tabs.first();
    if (selected)
        setSelectedTab(selected);
    invalidateTabDimensionsWithScrollToSelection(false, false);
}

void TabView::invalidateRestorableState()
{
    Q_EMIT restorableStateChanged();
}

// ---------------------------------------------------------------- drawing

bool TabView::showsCloseButtons() const
{
    return m_allowsNoTabs || m_tabs.size() >= 2;
}

QPixmap TabView::image(const QString& name) const
{
    auto it = m_images.constFind(name);
    if (it != m_images.constEnd())
        return *it;
    // The bar's small pictures are drawn here rather than shipped as files.
    const qreal dpr = devicePixelRatioF();
    const bool isClose = name.startsWith(QLatin1String("CloseTab"));
    const QSize size = isClose ? QSize(14, 14) : QSize(9, 11);
    QPixmap pixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (isClose) {
        QColor cross = grey(0.35);
        if (name == QLatin1String("CloseTabRollover") || name == QLatin1String("CloseTabPressed")) {
            p.setPen(Qt::NoPen);
            p.setBrush(name == QLatin1String("CloseTabPressed") ? grey(0.45) : grey(0.65));
            p.drawEllipse(QRectF(0, 0, 14, 14));
            cross = Qt::white;
        }
        if (name == QLatin1String("CloseTabEdited")) {
            p.setPen(Qt::NoPen);
            p.setBrush(grey(0.35));
            p.drawEllipse(QRectF(4, 4, 6, 6));
        } else {
            p.setPen(QPen(cross, 1.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4.5, 4.5), QPointF(9.5, 9.5));
            p.drawLine(QPointF(9.5, 4.5), QPointF(4.5, 9.5));
        }
    } else {
        QColor fill = grey(0.3);
        if (name == QLatin1String("ArrowDisabled"))
            fill = grey(0.7);
        else if (name.endsWith(QLatin1String("Rollover")))
            fill = grey(0.15);
        else if (name.endsWith(QLatin1String("Pressed")))
            fill = Qt::black;
        QPainterPath path;
        if (name.startsWith(QLatin1String("ArrowRight")) || name == QLatin1String("ArrowDisabled")) {
            path.moveTo(1, 0.5);
            path.lineTo(8, 5.5);
            path.lineTo(1, 10.5);
        } else {
            path.moveTo(8, 0.5);
            path.lineTo(1, 5.5);
            path.lineTo(8, 10.5);
        }
        path.closeSubpath();
        p.fillPath(path, fill);
    }
    p.end();
    m_images.insert(name, pixmap);
    return pixmap;
}

void TabView::drawSelectedBackground(QPainter& p, const QRectF& r)
{
    QWidget* w = window();
    const bool isMain = w && w->isActiveWindow();
    if (!isMain) {
        p.fillRect(r, grey(0.965));
        return;
    }
    // Darker at the bottom (t = 0) than at the top (t = 1).
    constexpr double bottom = 0.796, top = 0.827;
    drawVerticalGradientInRect(&p, r, [](double t) {
        const double g = bottom * (1.0 - t) + top * t;
        return std::array<double, 4> { g, g, g, 1.0 };
    });
}

void TabView::drawTab(QPainter& p, Tab* tab, const QRectF& r, bool selected, bool forDrag)
{
    const QColor border = grey(0.45);
    if (selected) {
        drawSelectedBackground(p, r);
    } else {
        p.fillRect(r, viewBackgroundColor());
    }
    p.setPen(QPen(border, 1));
    p.drawLine(QPointF(r.x(), r.top()), QPointF(r.x(), r.bottom() - 0.5));
    p.drawLine(QPointF(r.x() + r.width(), r.top()), QPointF(r.x() + r.width(), r.bottom() - 0.5));
    if (forDrag) {
        p.drawLine(QPointF(r.x(), r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));
        p.drawLine(QPointF(r.x(), r.top() + 0.5), QPointF(r.right(), r.top() + 0.5));
    }
    // Close button.
    if (!showsCloseButtons()) {
        tab->closeRect = QRectF();
    } else {
        QString name = QStringLiteral("CloseTab");
        if (m_pressedCloseTab == tab && m_rolloverCloseTab == tab)
            name = QStringLiteral("CloseTabPressed");
        else if (!m_pressedCloseTab && m_rolloverCloseTab == tab)
            name = QStringLiteral("CloseTabRollover");
        else if (tab->isEdited())
            name = QStringLiteral("CloseTabEdited");
        const QPixmap pixmap = image(name);
        const QSizeF size = pixmap.deviceIndependentSize();
        const QRectF closeRect(r.x() + 4.5, r.y() + (r.height() - size.height()) / 2, size.width(), size.height());
        p.drawPixmap(closeRect.topLeft(), pixmap);
        tab->closeRect = closeRect;
    }
    // Title, with a light line one point lower.
    QFont font = this->font();
    font.setPointSizeF(std::max(7.0, font.pointSizeF() - 1));
    p.setFont(font);
    const QRectF titleRect(r.x() + 25, r.y() + 3, r.width() - 30, r.height() - 6);
    const QString title = displayTitle(tab->name(), font, titleRect.width());
    p.setPen(selected ? grey(0.75) : grey(0.9));
    p.drawText(titleRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setPen(selected ? QColor(Qt::black) : grey(0.35));
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
}

QString TabView::displayTitle(const QString& name, const QFont& font, qreal width)
{
    return QFontMetricsF(font).elidedText(name, Qt::ElideMiddle, std::max<qreal>(0, width));
}

void TabView::drawScroller(QPainter& p, const QRectF& a, bool left)
{
    drawSelectedBackground(p, a);
    p.setPen(QPen(grey(0.45), 1));
    if (left)
        p.drawLine(QPointF(a.right(), a.top()), QPointF(a.right(), a.bottom()));
    else
        p.drawLine(QPointF(a.left(), a.top()), QPointF(a.left(), a.bottom()));
    QString name;
    if (left) {
        if (m_isScrollingLeft)
            name = QStringLiteral("ArrowLeftPressed");
        else if (m_leftVisibleTab <= 0)
            name = QStringLiteral("ArrowDisabled");
        else if (m_isRolloverLeftArrow)
            name = QStringLiteral("ArrowLeftRollover");
        else
            name = QStringLiteral("ArrowLeft");
    } else {
        if (m_isScrollingRight)
            name = QStringLiteral("ArrowRightPressed");
        else if (m_leftVisibleTab + m_numVisibleTabs >= m_activeTabs.size())
            name = QStringLiteral("ArrowDisabled");
        else if (m_isRolloverRightArrow)
            name = QStringLiteral("ArrowRightRollover");
        else
            name = QStringLiteral("ArrowRight");
    }
    QPixmap pixmap = image(name);
    if (left && name == QLatin1String("ArrowDisabled"))
        pixmap = pixmap.transformed(QTransform().scale(-1, 1));
    const QSizeF size = pixmap.deviceIndependentSize();
    p.drawPixmap(QPointF(a.x() + a.width() / 2 - size.width() / 2 + (left ? 0.5 : -0.5),
                         a.y() + (a.height() - size.height()) / 2),
                 pixmap);
}

void TabView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), viewBackgroundColor());
    const QRectF area = tabsRect();
    p.save();
    p.setClipRect(area);
    for (Tab* tab : std::as_const(m_activeTabs)) {
        const QRectF r = rectForTab(tab);
        tab->tabRect = r;
        if (r.intersects(area) && !tab->isPlaceholder() && tab != m_selectedTab)
            drawTab(p, tab, r, false, false);
    }
    p.restore();
    // Top edge: a dark line over a light one.
    p.setPen(QPen(grey(0.4), 1));
    p.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));
    p.setPen(QPen(grey(0.75), 1));
    p.drawLine(QPointF(0, 1.5), QPointF(width(), 1.5));
    if (m_activeTabs.isEmpty())
        return;
    if (m_selectedTab && m_activeTabs.contains(m_selectedTab) && !m_selectedTab->isPlaceholder()) {
        const QRectF r = m_selectedTab->tabRect;
        if (r.intersects(area)) {
            p.save();
            p.setClipRect(area);
            drawTab(p, m_selectedTab, r, true, false);
            p.restore();
        }
    }
    if (m_scrollersVisible) {
        drawScroller(p, leftScrollerRect(), true);
        drawScroller(p, rightScrollerRect(), false);
    }
}

bool TabView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (Tab* tab = tabForPoint(help->pos()))
            QToolTip::showText(help->globalPos(), tab->description(), this, rectForTab(tab).toAlignedRect());
        else
            QToolTip::hideText();
        return true;
    }
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        update();
    return QWidget::event(event);
}
