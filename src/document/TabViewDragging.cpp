// The tab bar's mouse handling, dragging, slide animation and context menu.

#include "document/TabView.h"

#include "document/MyDocument.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cmath>

// ---------------------------------------------------------------- mouse

void TabView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF point = event->position();
    m_mouseDownPoint = point;
    if (m_scrollersVisible && leftScrollerRect().contains(point)) {
        if (m_leftVisibleTab > 0) {
            m_isScrollingLeft = true;
            invalidateTabDimensions();
        } else {
            QApplication::beep();
        }
        return;
    }
    if (m_scrollersVisible && rightScrollerRect().contains(point)) {
        if (m_numVisibleTabs + m_leftVisibleTab < m_activeTabs.size()) {
            m_isScrollingRight = true;
            invalidateTabDimensions();
        } else {
            QApplication::beep();
        }
        return;
    }
    if (Tab* tab = tabForPoint(point)) {
        if (tab->closeRect.contains(point)) {
            m_pressedCloseTab = tab;
            m_rolloverCloseTab = tab;
        } else {
            setSelectedTab(tab);
        }
        invalidateTabDimensions();
    }
}

void TabView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_internalDrag) {
        internalDragDrop(event->globalPosition().toPoint());
        return;
    }
    const QPointF point = event->position();
    m_isScrollingLeft = false;
    m_isScrollingRight = false;
    Tab* tab = tabForPoint(point);
    QPointer<Tab> toClose;
    if (tab && tab == m_pressedCloseTab && tab->closeRect.contains(point))
        toClose = tab;
    m_pressedCloseTab = nullptr;
    m_rolloverCloseTab = nullptr;
    if (toClose)
        requestTabClose(toClose);
    updateRollovers(point);
    invalidateTabDimensions();
    m_mouseDownPoint = QPointF(-1000, -1000);
}

void TabView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    if (m_internalDrag) {
        internalDragMove(event->globalPosition().toPoint());
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        updateRollovers(point);
        return;
    }
    updateScrolling(point);
    if (m_pressedCloseTab) {
        updateRollovers(point);
        return;
    }
    if (m_isDragging || m_mouseDownPoint.x() <= -1000)
        return;
    const QPointF d = point - m_mouseDownPoint;
    if (d.x() * d.x() + d.y() * d.y() < 100)
        return;
    if (Tab* tab = tabForPoint(m_mouseDownPoint))
        startDrag(tab, point);
}

void TabView::leaveEvent(QEvent* event)
{
    updateRollovers(QPointF(-1000, -1000));
    QWidget::leaveEvent(event);
}

void TabView::updateRollovers(QPointF point)
{
    const bool left = m_scrollersVisible && leftScrollerRect().contains(point);
    const bool right = m_scrollersVisible && rightScrollerRect().contains(point);
    if (left != m_isRolloverLeftArrow || right != m_isRolloverRightArrow) {
        m_isRolloverLeftArrow = left;
        m_isRolloverRightArrow = right;
        update();
    }
    Tab* tab = tabForPoint(point);
    Tab* rollover = (tab && tab->closeRect.contains(point)) ? tab : nullptr;
    if (rollover != m_rolloverCloseTab) {
        m_rolloverCloseTab = rollover;
        update();
    }
}

void TabView::updateScrolling(QPointF point)
{
    if (!m_scrollersVisible)
        return;
    const bool left = leftScrollerRect().contains(point);
    const bool right = rightScrollerRect().contains(point);
    if (left != m_isScrollingLeft || right != m_isScrollingRight) {
        m_isScrollingLeft = left;
        m_isScrollingRight = right;
        invalidateTabDimensions();
    }
}

// ---------------------------------------------------------------- animation

void TabView::animateTabChanges()
{
    if (m_isAnimating)
        return;
    m_isAnimating = true;
    m_frameClock.start();
    m_animationTimer->start();
}

bool TabView::animationStep(double dt)
{
    bool moving = false;
    m_scrollersVisible = m_targetScrollersVisible;
    const qint64 count = m_activeTabs.size();
    if (m_isScrollingLeft) {
        m_scrollOffset += 600 * dt;
        if (m_scrollOffset > m_targetScrollOffset && m_leftVisibleTab > 0) {
            m_leftVisibleTab -= 1;
            m_targetScrollOffset = std::trunc(-double(m_leftVisibleTab) * m_tabWidth);
        }
        m_scrollOffset = std::min(m_scrollOffset, m_targetScrollOffset);
        moving = m_leftVisibleTab >= 1 || m_scrollOffset != m_targetScrollOffset;
    } else if (m_isScrollingRight) {
        m_scrollOffset -= 600 * dt;
        if (m_scrollOffset < m_targetScrollOffset && m_leftVisibleTab < count - m_numVisibleTabs) {
            m_leftVisibleTab += 1;
            m_targetScrollOffset = std::trunc(-double(m_leftVisibleTab) * m_tabWidth);
        }
        m_scrollOffset = std::max(m_scrollOffset, m_targetScrollOffset);
        moving = m_leftVisibleTab < count - m_numVisibleTabs || m_scrollOffset != m_targetScrollOffset;
    } else {
        const double d = m_targetScrollOffset - m_scrollOffset;
        if (std::abs(d) < 2) {
            m_scrollOffset = m_targetScrollOffset;
        } else {
            const double speed = std::clamp(6 * std::abs(d), 200.0, 1000.0);
            const double step = std::min(std::abs(d), dt * speed);
            m_scrollOffset += d > 0 ? step : -step;
            moving = true;
        }
    }
    auto moveEdge = [&](double& current, double target) {
        const double d = target - current;
        if (std::abs(d) < 2) {
            current = target;
            return;
        }
        const double step = std::min(std::abs(d), 450 * dt);
        current += d > 0 ? step : -step;
        moving = true;
    };
    for (Tab* tab : std::as_const(m_activeTabs)) {
        moveEdge(tab->tabX, tab->targetTabX);
        moveEdge(tab->tabXRight, tab->targetTabXRight);
    }
    return moving;
}

void TabView::finishAnimation()
{
    m_isScrollingLeft = m_isScrollingRight = false;
    for (int i = 0; i < 10000 && animationStep(1.0); ++i) {
    }
    m_isAnimating = false;
    m_animationTimer->stop();
    update();
}

// ---------------------------------------------------------------- dragging out

void TabView::startDrag(Tab* tab, QPointF point)
{
    const qsizetype index = m_activeTabs.indexOf(tab);
    if (index < 0)
        return;
    const QRectF r = Tab::targetTabRect(std::trunc(m_tabWidth), m_targetScrollersVisible, m_targetScrollOffset, index);
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap((QSizeF(r.width() + 21, r.height() + 20) * dpr).toSize());
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        const QRectF in(10.5, 10, r.width(), r.height());
        p.fillRect(in.translated(3, 3), QColor(0, 0, 0, 60));
        drawTab(p, tab, in, true, true);
    }
    m_draggedTab = tab;
    m_isDragging = true;
    m_draggedTabIndex = index;
    removeActiveTab(tab, false);
    invalidateTabDimensions();

    if (usesInternalDrag()) {
        m_internalDrag = true;
        m_dragHotSpot = (m_mouseDownPoint - r.topLeft()).toPoint();
        grabMouse();
        internalDragMove(mapToGlobal(point.toPoint()));
        return;
    }
    QPointer<TabView> self(this);
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setData(KELTabPBoardType, QByteArray());
    drag->setMimeData(data);
    drag->setPixmap(pixmap);
    drag->setHotSpot((m_mouseDownPoint - r.topLeft() + QPointF(10.5, 10)).toPoint());
    const Qt::DropAction action = drag->exec(Qt::MoveAction);
    if (!self)
        return;
    draggingEnded(action, QCursor::pos() - (m_mouseDownPoint - r.topLeft()).toPoint());
}

// Platforms without a drag service (headless ones) get the same drag inside
// the application: the bar keeps the mouse and finds the bar under it itself.
bool TabView::usesInternalDrag()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void TabView::internalDragMove(QPoint global)
{
    TabView* target = nullptr;
    for (QWidget* w = QApplication::widgetAt(global); w; w = w->parentWidget()) {
        if (auto* bar = qobject_cast<TabView*>(w)) {
            target = bar;
            break;
        }
    }
    if (target && !target->acceptsDragFrom(this))
        target = nullptr;
    if (m_dragTarget && m_dragTarget != target) {
        m_dragTarget->m_isScrollingLeft = m_dragTarget->m_isScrollingRight = false;
        if (m_dragTarget->removePlaceholders())
            m_dragTarget->invalidateTabDimensions();
    }
    m_dragTarget = target;
    if (target)
        target->updatePlaceholderForDragPoint(target->mapFromGlobal(global));
}

void TabView::internalDragDrop(QPoint global)
{
    internalDragMove(global);
    releaseMouse();
    m_internalDrag = false;
    QPointer<TabView> target = m_dragTarget;
    m_dragTarget = nullptr;
    bool dropped = false;
    if (target) {
        dropped = target->performDrop(this);
        if (!dropped)
            target->removePlaceholders();
        target->m_isScrollingLeft = target->m_isScrollingRight = false;
    }
    draggingEnded(dropped ? Qt::MoveAction : Qt::IgnoreAction, global - m_dragHotSpot);
}

void TabView::draggingEnded(Qt::DropAction action, QPoint globalEnd)
{
    Tab* dragged = m_draggedTab;
    bool madeWindow = false;
    if (action == Qt::IgnoreAction && dragged) {
        madeWindow = openInNewWindow(dragged, true, globalEnd);
        if (!madeWindow) {
            insertActiveTab(dragged, m_draggedTabIndex);
        }
    }
    updateSelectedTabAfterDrag();
    m_isDragging = false;
    m_mouseDownPoint = QPointF(-1000, -1000);
    m_draggedTab = nullptr;
    invalidateTabDimensionsWithScrollToSelection(true);
}

void TabView::updateSelectedTabAfterDrag()
{
    if (m_selectedTab && m_activeTabs.contains(m_selectedTab))
        return;
    if (m_activeTabs.isEmpty()) {
        setSelectedTab(nullptr);
        return;
    }
    setSelectedTab(m_activeTabs[std::min<qsizetype>(m_draggedTabIndex, m_activeTabs.size() - 1)]);
}

bool TabView::openInNewWindow(Tab* tab, bool usePoint, QPoint globalPoint)
{
    if (!tab || !m_allowsDragAcrossTabViews || !tab->document() || m_tabs.size() <= 1 || !newWindowMaker())
        return false;
    QPointer<MyDocument> document = tab->document();
    removeActiveTab(tab, true);
    invalidateTabDimensions();
    m_tabs.removeAll(tab);
    tab->setTabView(nullptr);
    tab->setParent(nullptr);
    tab->deleteLater();
    if (m_delegate)
        m_delegate->tabViewTabDraggedFrom(this, tab);
    invalidateRestorableState();
    QWidget* window = document ? newWindowMaker()(document) : nullptr;
    if (!window)
        return false;
    if (usePoint) {
        // The new window's tab bar sits where the tab was dropped, on screen.
        QPoint barOffset(0, 0);
        if (auto* bar = window->findChild<TabView*>())
            barOffset = bar->mapTo(window, QPoint(0, 0));
        QRect frame = window->geometry();
        frame.moveTopLeft(globalPoint - barOffset);
        if (QScreen* screen = QGuiApplication::screenAt(globalPoint)) {
            const QRect visible = screen->availableGeometry();
            if (frame.top() < visible.top())
                frame.moveTop(visible.top());
            else if (frame.bottom() > visible.bottom())
                frame.moveBottom(visible.bottom());
            if (frame.right() > visible.right())
                frame.moveRight(visible.right());
            else if (frame.left() < visible.left())
                frame.moveLeft(visible.left());
            frame = frame.intersected(visible);
        }
        window->setGeometry(frame);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return true;
}

// ---------------------------------------------------------------- dropping in

bool TabView::acceptsDrag(const QMimeData* data, QObject* source, Qt::DropActions actions) const
{
    if (actions != Qt::MoveAction || !data || !data->hasFormat(KELTabPBoardType))
        return false;
    return acceptsDragFrom(qobject_cast<TabView*>(source));
}

bool TabView::acceptsDragFrom(TabView* source) const
{
    if (!source)
        return false;
    if (source == this)
        return true;
    return source->allowsDragAcrossTabViews() && m_allowsDragAcrossTabViews;
}

void TabView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptsDrag(event->mimeData(), event->source(), event->possibleActions())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    updatePlaceholderForDragPoint(event->position());
}

void TabView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!acceptsDrag(event->mimeData(), event->source(), event->possibleActions())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    updatePlaceholderForDragPoint(event->position());
}

void TabView::dragLeaveEvent(QDragLeaveEvent*)
{
    m_isScrollingLeft = m_isScrollingRight = false;
    if (removePlaceholders())
        invalidateTabDimensions();
}

void TabView::dropEvent(QDropEvent* event)
{
    auto* source = qobject_cast<TabView*>(event->source());
    if (!source || !acceptsDrag(event->mimeData(), source, event->possibleActions()) || !performDrop(source)) {
        event->ignore();
        removePlaceholders();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

qsizetype TabView::placeholderIndex() const
{
    for (qsizetype i = 0; i < m_activeTabs.size(); ++i)
        if (m_activeTabs[i]->isPlaceholder())
            return i;
    return -1;
}

void TabView::updatePlaceholderForDragPoint(QPointF p)
{
    bool changed = false;
    if (m_scrollersVisible) {
        const bool left = leftScrollerRect().contains(p);
        const bool right = rightScrollerRect().contains(p);
        if (left != m_isScrollingLeft || right != m_isScrollingRight) {
            m_isScrollingLeft = left;
            m_isScrollingRight = right;
            changed = true;
        }
    }
    const qsizetype ph = placeholderIndex();
    qsizetype target = -1;
    if (rect().contains(p.toPoint())) {
        const qsizetype count = m_activeTabs.size();
        for (qsizetype i = 0; i < count; ++i) {
            const QRectF r = Tab::targetTabRect(m_tabWidth, m_targetScrollersVisible, m_targetScrollOffset, i);
            if (r.contains(p) || (i == 0 && p.x() <= r.x())) {
                target = i;
                break;
            }
            if (i == count - 1 && p.x() >= r.x() + r.width()) {
                target = i;
                break;
            }
        }
        if (count == 0)
            target = 0;
    }
    if (target >= 0) {
        if (target != ph) {
            if (!m_activeTabs.isEmpty() && target < m_activeTabs.size()) {
                const QRectF r = Tab::targetTabRect(m_tabWidth, m_targetScrollersVisible, m_targetScrollOffset, target);
                const double mid = r.x() + r.width() / 2;
                if (ph < 0 || target <= ph) {
                    if (p.x() >= mid)
                        target += 1;
                } else if (p.x() < mid) {
                    target -= 1;
                }
            }
            if (target != ph) {
                setPlaceholderIndex(target);
                changed = true;
            }
        }
    } else {
        changed = removePlaceholders() || changed;
    }
    if (changed)
        invalidateTabDimensions();
}

void TabView::setPlaceholderIndex(qsizetype index)
{
    if (index >= 0 && index < m_activeTabs.size() && m_activeTabs[index]->isPlaceholder())
        return;
    removePlaceholders();
    auto* placeholder = new Tab(QStringLiteral("Placeholder"), this);
    placeholder->setPlaceholder(true);
    insertActiveTab(placeholder, index);
}

bool TabView::removePlaceholders()
{
    bool removed = false;
    for (qsizetype i = m_activeTabs.size() - 1; i >= 0; --i) {
        Tab* tab = m_activeTabs[i];
        if (tab->isPlaceholder()) {
            m_activeTabs.removeAt(i);
            tab->deleteLater();
            removed = true;
        }
    }
    return removed;
}

bool TabView::performDrop(TabView* source)
{
    const qsizetype index = placeholderIndex();
    if (index < 0 || !source || !source->m_draggedTab)
        return false;
    Tab* dragged = source->m_draggedTab;
    Tab* placeholder = m_activeTabs[index];
    dragged->tabX = placeholder->tabX;
    dragged->tabXRight = placeholder->tabXRight;
    m_activeTabs[index] = dragged;
    placeholder->deleteLater();
    invalidateRestorableState();
    if (source == this) {
        invalidateTabDimensions();
        return true;
    }
    QPointer<MyDocument> keepAlive = dragged->safeDocument();
    source->m_tabs.removeAll(dragged);
    if (!m_tabs.contains(dragged))
        m_tabs.append(dragged);
    dragged->setTabView(this);
    dragged->setParent(this);
    source->invalidateRestorableState();
    if (source->m_delegate)
        source->m_delegate->tabViewTabDraggedFrom(source, dragged);
    if (m_delegate)
        m_delegate->tabViewTabDraggedTo(this, dragged);
    window()->raise();
    window()->activateWindow();
    invalidateTabDimensions();
    return true;
}

// ---------------------------------------------------------------- menu

QMenu* TabView::menuForPoint(QPointF point)
{
    auto addSelectItem = [](QMenu* menu, Tab* tab, const QString& title) {
        QPointer<Tab> target(tab);
        QAction* action = menu->addAction(title);
        QObject::connect(action, &QAction::triggered, tab, [target] {
            if (target)
                target->selectTab();
        });
    };
    if (m_scrollersVisible && (leftScrollerRect().contains(point) || rightScrollerRect().contains(point))) {
        auto* menu = new QMenu(QStringLiteral("Menu"), this);
        qsizetype from = 0, to = 0;
        if (leftScrollerRect().contains(point)) {
            from = 0;
            to = m_leftVisibleTab;
        } else {
            from = m_leftVisibleTab + m_numVisibleTabs;
            to = m_activeTabs.size();
        }
        for (qsizetype i = std::max<qsizetype>(0, from); i < std::min(to, m_activeTabs.size()); ++i)
            addSelectItem(menu, m_activeTabs[i], m_activeTabs[i]->description());
        if (menu->isEmpty())
            QApplication::beep();
        return menu;
    }
    Tab* tab = tabForPoint(point);
    if (!tab)
        return nullptr;
    auto* menu = new QMenu(QStringLiteral("Menu"), this);
    QPointer<Tab> target(tab);
    if (tab != m_selectedTab)
        addSelectItem(menu, tab, QStringLiteral("Select Tab"));
    if (showsCloseButtons()) {
        QAction* close = menu->addAction(QStringLiteral("Close Tab"));
        connect(close, &QAction::triggered, tab, [target] {
            if (target)
                target->requestClose();
        });
    }
    const bool isProject = projectWindowTest() ? projectWindowTest()(window()) : window()->property("kelpProjectWindow").toBool();
    if (!isProject && m_allowsDragAcrossTabViews && m_tabs.size() >= 2) {
        QAction* open = menu->addAction(QStringLiteral("Open Tab in New Window"));
        connect(open, &QAction::triggered, tab, [target] {
            if (target)
                target->openInNewWindow();
        });
    } else if (isProject) {
        QAction* reveal = menu->addAction(QStringLiteral("Reveal in Document Tree"));
        connect(reveal, &QAction::triggered, tab, [target] {
            if (target)
                target->revealInDocumentTree();
        });
    }
    return menu;
}

void TabView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = menuForPoint(event->pos());
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(event->globalPos());
}
