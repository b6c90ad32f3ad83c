#include "componentui/KELComponentLibraryTileView.h"

#include "componentui/KELComponentLibrarySelectButton.h"
#include "kit/AccessibleItems.h"

#include <QImageReader>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <cmath>

const QImage& KELComponentLibraryTile::image()
{
    if (!m_imageRead) {
        m_imageRead = true;
        if (!m_component->imagePath().isEmpty())
            m_image = QImageReader(m_component->imagePath()).read();
    }
    return m_image;
}

KELComponentLibraryTileView::KELComponentLibraryTileView(KELComponentLibraryTileScrollView* scrollView)
    : m_scrollView(scrollView)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    static const bool accessible = [] {
        kit::AccessibleItemsDescription d;
        d.role = QAccessible::List;
        d.name = [](QWidget*) { return tr("Components"); };
        d.items = [](QWidget* w) {
            auto* view = static_cast<KELComponentLibraryTileView*>(w);
            QList<kit::AccessibleItem> items;
            const QRect shown = view->visibleArea();
            for (qint64 i = 0; i < view->tileCount(); ++i) {
                kit::AccessibleItem item;
                item.name = view->m_tiles.at(i)->name();
                item.description = view->m_tiles.at(i)->desc().trimmed();
                item.rect = view->tileRectForIndex(i).toAlignedRect();
                item.state.selectable = true;
                item.state.focusable = true;
                item.state.selected = i == view->m_selectedIndex;
                item.state.focused = item.state.selected && view->hasFocus();
                item.state.offscreen = !item.rect.intersects(shown);
                item.press = [view, i] { view->changeSelectedIndex(i); };
                items.append(item);
            }
            return items;
        };
        kit::registerAccessibleItems(staticMetaObject.className(), std::move(d));
        return true;
    }();
    Q_UNUSED(accessible);
}

const KELComponentLibraryTile* KELComponentLibraryTileView::tileAt(qint64 index) const
{
    return index >= 0 && index < m_tiles.size() ? m_tiles.at(index).get() : nullptr;
}

QRectF KELComponentLibraryTileView::tileRectForIndex(qint64 index) const
{
    const qint64 row = index / m_columns, column = index % m_columns;
    return {double(column) * m_columnWidth, double(row) * TileHeight, m_columnWidth, double(TileHeight)};
}

QRectF KELComponentLibraryTileView::imageRectForIndex(qint64 index) const
{
    const qint64 row = index / m_columns, column = index % m_columns;
    return {(m_columnWidth - 96) / 2 + double(column) * m_columnWidth, double(row) * TileHeight + 10, 96, 96};
}

QRect KELComponentLibraryTileView::visibleArea() const
{
    // The part of the view the scroll view shows.
    const QWidget* viewport = m_scrollView->viewport();
    return QRect(-pos(), viewport->size());
}

QRectF KELComponentLibraryTileView::computeFooterRect() const
{
    const QRect v = visibleArea();
    return {double(v.x()), double(v.y() + v.height() - FooterHeight), double(v.width()), double(FooterHeight)};
}

void KELComponentLibraryTileView::updateFrame()
{
    const int width = m_scrollView->viewport()->width();
    m_columns = std::max<qint64>(1, width / ColumnMinimum);
    m_rows = (m_tiles.size() + m_columns - 1) / m_columns;
    const int height = std::max<qint64>(m_scrollView->viewport()->height(), m_rows * TileHeight + FooterHeight);
    resize(width, height);
    m_columnWidth = double(width) / double(m_columns);
    update();
}

void KELComponentLibraryTileView::updateTiles()
{
    const std::shared_ptr<KELComponentLibraryTile> old = m_selectedIndex != NotFound ? m_tiles.value(m_selectedIndex) : nullptr;
    QList<std::shared_ptr<KELComponentLibraryTile>> tiles;
    if (KELComponentViewDataSource* source = m_scrollView->dataSource()) {
        for (const auto& component : source->components()) {
            if (!component)
                continue;
            // An old tile keeps its picture read.
            auto same = std::find_if(m_tiles.begin(), m_tiles.end(),
                                     [&](const auto& tile) { return tile->component() == component; });
            tiles << (same != m_tiles.end() ? *same : std::make_shared<KELComponentLibraryTile>(component));
        }
    }
    std::stable_sort(tiles.begin(), tiles.end(), [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
    m_tiles = tiles;
    updateFrame();
    qint64 selection = NotFound;
    if (old) {
        for (qint64 i = 0; i < m_tiles.size(); ++i)
            if (m_tiles.at(i)->component() == old->component()) {
                selection = i;
                break;
            }
    }
    changeSelectedIndex(selection);
}

void KELComponentLibraryTileView::changeSelectedIndex(qint64 index)
{
    if (index == NotFound || m_tiles.isEmpty())
        m_selectedIndex = NotFound;
    else
        m_selectedIndex = std::clamp<qint64>(index, 0, m_tiles.size() - 1);
    m_scrollView->selectButton()->setEnabled(m_selectedIndex != NotFound);
    update();
    if (m_selectedIndex != NotFound) {
        kit::notifyAccessibleItem(this, int(m_selectedIndex), QAccessible::Selection);
        if (hasFocus())
            kit::notifyAccessibleItem(this, int(m_selectedIndex), QAccessible::Focus);
    }
}

void KELComponentLibraryTileView::scrollToSelection()
{
    if (m_selectedIndex == NotFound)
        return;
    // Taller by the footer's height, so the tile never hides under it.
    const QRectF r = tileRectForIndex(m_selectedIndex).adjusted(0, 0, 0, FooterHeight);
    m_scrollView->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2), int(r.height() / 2));
}

void KELComponentLibraryTileView::select()
{
    if (auto component = selectedComponent())
        if (KELComponentViewDelegate* delegate = m_scrollView->delegate())
            delegate->componentWasSelected(component);
}

std::shared_ptr<KELComponent> KELComponentLibraryTileView::selectedComponent() const
{
    const KELComponentLibraryTile* tile = tileAt(m_selectedIndex);
    return tile ? tile->component() : nullptr;
}

qint64 KELComponentLibraryTileView::indexAtPoint(QPointF p) const
{
    const qint64 column = qint64(std::floor(p.x() / m_columnWidth));
    const qint64 index = column + qint64(std::floor(p.y() / TileHeight)) * m_columns;
    if (column < 0 || column >= m_columns || p.y() < 0 || index < 0 || index >= m_tiles.size())
        return NotFound;
    return imageRectForIndex(index).contains(p) ? index : NotFound;
}

void KELComponentLibraryTileView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    changeSelectedIndex(indexAtPoint(event->position()));
}

void KELComponentLibraryTileView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const qint64 index = indexAtPoint(event->position());
    changeSelectedIndex(index);
    if (index != NotFound)
        select();
}

void KELComponentLibraryTileView::keyPressEvent(QKeyEvent* event)
{
    const qint64 count = m_tiles.size();
    auto move = [&](qint64 index) {
        changeSelectedIndex(index);
        scrollToSelection();
    };
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        select();
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        QWidget::keyPressEvent(event);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (count == 0)
            return;
        const qint64 i = m_selectedIndex;
        if (i == NotFound)
            return move(0);
        if (event->key() == Qt::Key_Left && i > 0)
            move(i - 1);
        else if (event->key() == Qt::Key_Right && i < count - 1)
            move(i + 1);
        else if (event->key() == Qt::Key_Down && i + m_columns < count)
            move(i + m_columns);
        else if (event->key() == Qt::Key_Up && i >= m_columns)
            move(i - m_columns);
        return;
    }
    default:
        break;
    }
    const QString characters = event->text();
    if (!characters.isEmpty() && (characters.at(0).isLetterOrNumber() || characters.at(0) == QLatin1Char(' ')))
        typeAhead(characters);
    else
        event->ignore();
}

void KELComponentLibraryTileView::typeAhead(const QString& characters)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_lastSearchDate.isValid() || m_lastSearchDate.msecsTo(now) > 1000)
        m_searchString.clear();
    m_lastSearchDate = now;
    m_searchString += characters;
    if (m_tiles.isEmpty())
        return;
    qint64 index = m_tiles.size() - 1;
    for (qint64 i = 0; i < m_tiles.size(); ++i)
        if (m_tiles.at(i)->name().compare(m_searchString, Qt::CaseInsensitive) >= 0) {
            index = i;
            break;
        }
    changeSelectedIndex(index);
    scrollToSelection();
}

void KELComponentLibraryTileView::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void KELComponentLibraryTileView::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

void KELComponentLibraryTileView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, Qt::black);
    QFont font = this->font();
    font.setPixelSize(16);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qint64 firstRow = dirty.y() / TileHeight, lastRow = (dirty.y() + dirty.height()) / TileHeight;
    for (qint64 row = firstRow; row <= lastRow; ++row) {
        for (qint64 column = 0; column < m_columns; ++column) {
            const qint64 index = row * m_columns + column;
            if (index >= m_tiles.size())
                break;
            KELComponentLibraryTile& tile = *m_tiles[index];
            const QRectF t = tileRectForIndex(index);
            const QRectF nameRect(t.x(), t.y() + 121, t.width(), 19);
            painter.setPen(Qt::white);
            painter.drawText(nameRect, Qt::AlignCenter,
                             metrics.elidedText(tile.name(), Qt::ElideRight, int(nameRect.width())));
            const QRectF imageRect = imageRectForIndex(index);
            if (!tile.image().isNull())
                painter.drawImage(imageRect, tile.image());
            if (index == m_selectedIndex) {
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing);
                if (hasFocus() && window()->isActiveWindow()) {
                    painter.setPen(QPen(palette().highlight().color(), 3));
                    painter.drawRoundedRect(imageRect.adjusted(-3, -3, 3, 3), 4, 4);
                } else {
                    painter.setPen(QPen(QColor::fromRgbF(0.5f, 0.5f, 0.5f), 2));
                    painter.drawRoundedRect(imageRect.adjusted(-4, -4, 4, 4), 5, 5);
                }
                painter.restore();
            }
        }
    }
    const QRectF f = computeFooterRect();
    if (f.intersects(dirty)) {
        QLinearGradient shade(0, f.y(), 0, f.y() + 15);
        shade.setColorAt(0, QColor(0, 0, 0, 0));
        shade.setColorAt(1, QColor(0, 0, 0, 255));
        painter.fillRect(QRectF(f.x(), f.y(), f.width(), 15), shade);
        painter.fillRect(QRectF(f.x(), f.y() + 15, f.width(), 75), Qt::black);
        const QRectF label(f.x() + f.width() - 160, f.y() + 20, 140, 19);
        painter.setPen(Qt::white);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, KELComponentCountText(m_tiles.size()));
        if (const KELComponentLibraryTile* tile = tileAt(m_selectedIndex))
            painter.drawText(QRectF(f.x() + 20, f.y() + 20, label.x() - f.x() - 40, 57),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, tile->desc());
    }
    if (m_tiles.isEmpty()) {
        const QRect v = visibleArea();
        font.setPixelSize(24);
        painter.setFont(font);
        painter.drawText(QRectF(v.x(), v.y() + v.height() / 2.0 - 40, v.width(), 40), Qt::AlignCenter,
                         QStringLiteral("No Search Results"));
    }
}

KELComponentLibraryTileScrollView::KELComponentLibraryTileScrollView(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    m_tileView = new KELComponentLibraryTileView(this);
    setWidget(m_tileView);
    m_selectButton = new KELComponentLibrarySelectButton(viewport());
    m_selectButton->setEnabled(false);
    connect(m_selectButton, &QAbstractButton::clicked, m_tileView, [this] { m_tileView->select(); });
    placeSelectButton();
}

void KELComponentLibraryTileScrollView::placeSelectButton()
{
    const QSize v = viewport()->size();
    // Centred under the count, which sits 160 points in from the right edge of the footer.
    m_selectButton->move(v.width() - 160 + 70 - m_selectButton->width() / 2,
                         v.height() - KELComponentLibraryTileView::FooterHeight + 20 + 24);
    m_selectButton->raise();
}

void KELComponentLibraryTileScrollView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    m_tileView->updateFrame();
    placeSelectButton();
}

void KELComponentLibraryTileScrollView::scrollContentsBy(int dx, int dy)
{
    QScrollArea::scrollContentsBy(dx, dy);
    // The footer stays at the bottom of what is shown.
    m_tileView->update();
}
