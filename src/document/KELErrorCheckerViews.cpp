#include "document/KELErrorCheckerViews.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QtMath>
#include <cmath>

namespace {

const QColor borderColor = QColor::fromRgbF(0.706, 0.706, 0.706);

QFont boldFont()
{
    QFont f = QApplication::font();
    f.setBold(true);
    return f;
}

QFont smallFont()
{
    QFont f = QApplication::font();
    f.setPointSizeF(qMax<qreal>(6, f.pointSizeF() - 2));
    return f;
}

qreal textHeight(const QString& text, const QFont& font, qreal width)
{
    // Line breaks in a message start new lines, as they do when it is drawn.
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(lines, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(qMax<qreal>(1, width));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

} // namespace

QPixmap checkerIcon(const QString& name, int size)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0.5, 0.5, size - 1, size - 1);
    QPen white(Qt::white, qMax(1.0, size / 8.0));
    white.setCapStyle(Qt::RoundCap);
    if (name == QLatin1String("FileError")) {
        p.setBrush(QColor(214, 48, 49));
        p.setPen(Qt::NoPen);
        p.drawEllipse(r);
        p.setPen(white);
        const qreal m = size * 0.32;
        p.drawLine(QPointF(m, m), QPointF(size - m, size - m));
        p.drawLine(QPointF(size - m, m), QPointF(m, size - m));
    } else if (name == QLatin1String("FileWarning")) {
        QPainterPath path;
        path.moveTo(size / 2.0, 0.5);
        path.lineTo(size - 0.5, size - 0.5);
        path.lineTo(0.5, size - 0.5);
        path.closeSubpath();
        p.fillPath(path, QColor(240, 173, 20));
        p.setPen(white);
        p.drawLine(QPointF(size / 2.0, size * 0.38), QPointF(size / 2.0, size * 0.65));
        p.drawPoint(QPointF(size / 2.0, size * 0.82));
    } else {
        p.setBrush(QColor(46, 160, 67));
        p.setPen(Qt::NoPen);
        p.drawEllipse(r);
        p.setPen(white);
        p.drawLine(QPointF(size * 0.28, size * 0.52), QPointF(size * 0.45, size * 0.7));
        p.drawLine(QPointF(size * 0.45, size * 0.7), QPointF(size * 0.74, size * 0.32));
    }
    return pixmap;
}

// --- Type list

KELErrorCheckerTypeListView::KELErrorCheckerTypeListView(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
}

void KELErrorCheckerTypeListView::setSyntaxCheckResult(std::shared_ptr<KELSyntaxCheckResult> result)
{
    m_result = std::move(result);
    m_ordered = m_result ? m_result->orderedTypeResults() : QList<KELSyntaxCheckTypeResult>();
    update();
    Q_EMIT selectedTypeResultChanged();
}

void KELErrorCheckerTypeListView::setSelectedIndex(quint64 index)
{
    m_selectedIndex = index;
    update();
    Q_EMIT selectedTypeResultChanged();
}

const KELSyntaxCheckTypeResult* KELErrorCheckerTypeListView::selectedTypeResult() const
{
    return m_selectedIndex < quint64(m_ordered.size()) ? &m_ordered[qsizetype(m_selectedIndex)] : nullptr;
}

QString KELErrorCheckerTypeListView::summaryForTypeResult(const KELSyntaxCheckTypeResult& typeResult)
{
    const qsizetype errors = typeResult.errorsWithLevel(KELSyntaxCheckError::Error).size();
    const qsizetype warnings = typeResult.errorsWithLevel(KELSyntaxCheckError::Warning).size();
    if (errors == 0 && warnings == 0)
        return QStringLiteral("No Errors");
    const QString e = QStringLiteral("%1 Error%2").arg(errors).arg(errors == 1 ? QString() : QStringLiteral("s"));
    const QString w = QStringLiteral("%1 Warning%2").arg(warnings).arg(warnings == 1 ? QString() : QStringLiteral("s"));
    if (errors && warnings)
        return QStringLiteral("%1, %2").arg(e, w);
    return warnings ? w : e;
}

void KELErrorCheckerTypeListView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0.95, 0.95, 0.95));
    const int w = width();
    auto drawRow = [&](int row, bool selected) {
        const QRect r(0, row * RowHeight, w, RowHeight);
        const KELSyntaxCheckTypeResult& typeResult = m_ordered[row];
        QColor textColor = QColor::fromRgbF(0.3, 0.3, 0.3);
        if (selected) {
            const bool active = isActiveWindow() && hasFocus();
            QLinearGradient gradient(r.topLeft(), r.bottomLeft());
            gradient.setColorAt(0, active ? QColor::fromRgbF(0.369, 0.616, 0.890) : QColor::fromRgbF(0.682, 0.763, 0.863));
            gradient.setColorAt(1, active ? QColor::fromRgbF(0.051, 0.373, 0.761) : QColor::fromRgbF(0.502, 0.576, 0.745));
            for (int k = 1; k <= 3; ++k) {
                p.fillRect(QRect(0, r.top() - k, w, 1), QColor(0, 0, 0, 40 / k));
                p.fillRect(QRect(0, r.bottom() + k, w, 1), QColor(0, 0, 0, 40 / k));
            }
            p.fillRect(r, gradient);
            textColor = Qt::white;
            QPainterPath arrow;
            const qreal cy = r.center().y() + 0.5;
            arrow.moveTo(w, cy - 6);
            arrow.lineTo(w - 6, cy);
            arrow.lineTo(w, cy + 6);
            arrow.closeSubpath();
            p.fillPath(arrow, Qt::white);
        } else {
            p.fillRect(r, QColor::fromRgbF(0.95, 0.95, 0.95));
            p.fillRect(QRect(0, r.top(), w, 1), borderColor);
            p.fillRect(QRect(0, r.bottom(), w, 1), borderColor);
        }
        const QString name = typeResult.typeName().isEmpty() ? QStringLiteral("Unknown") : typeResult.typeName();
        const QFont bold = boldFont();
        const QRect titleRect(r.x() + 8, r.y() + 5, w - 16, 18);
        const QString title = QFontMetrics(bold).elidedText(name, Qt::ElideRight, titleRect.width());
        p.setFont(bold);
        if (selected) {
            p.setPen(QColor(0, 0, 0, 128));
            p.drawText(titleRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, title);
        }
        p.setPen(textColor);
        p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setFont(smallFont());
        p.drawText(QRect(r.x() + 23, r.y() + 25, w - 31, 13), Qt::AlignLeft | Qt::AlignVCenter, summaryForTypeResult(typeResult));
        const bool hasErrors = !typeResult.errorsWithLevel(KELSyntaxCheckError::Error).isEmpty();
        const bool hasWarnings = !typeResult.errorsWithLevel(KELSyntaxCheckError::Warning).isEmpty();
        p.drawPixmap(r.x() + 8, r.y() + 26,
            checkerIcon(hasErrors ? QStringLiteral("FileError") : hasWarnings ? QStringLiteral("FileWarning") : QStringLiteral("FileSuccess")));
    };
    for (int row = 0; row < m_ordered.size(); ++row)
        if (quint64(row) != m_selectedIndex)
            drawRow(row, false);
    if (m_selectedIndex < quint64(m_ordered.size()))
        drawRow(int(m_selectedIndex), true);
    for (int k = 1; k <= 3; ++k) {
        p.fillRect(QRect(0, height() - k, width(), 1), QColor(0, 0, 0, 30 / k));
        p.fillRect(QRect(width() - k, 0, 1, height()), QColor(0, 0, 0, 30 / k));
    }
}

void KELErrorCheckerTypeListView::mousePressEvent(QMouseEvent* event)
{
    const int row = int(std::floor(event->position().y() / RowHeight));
    if (row >= 0 && row < m_ordered.size()) {
        setFocus(Qt::MouseFocusReason);
        setSelectedIndex(quint64(row));
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void KELErrorCheckerTypeListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Up) {
        if (m_selectedIndex > 0 && !m_ordered.isEmpty())
            setSelectedIndex(qMin<quint64>(m_selectedIndex, quint64(m_ordered.size())) - 1);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Down) {
        if (m_selectedIndex + 1 < quint64(m_ordered.size()))
            setSelectedIndex(m_selectedIndex + 1);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KELErrorCheckerTypeListView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void KELErrorCheckerTypeListView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

// --- Error list

void KELErrorListModel::setErrors(const QList<KELSyntaxCheckError>& errors)
{
    beginResetModel();
    m_errors = errors;
    endResetModel();
}

QVariant KELErrorListModel::data(const QModelIndex& index, int role) const
{
    const KELSyntaxCheckError* error = errorAt(index.row());
    if (!error)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return error->title();
    if (role == Qt::UserRole)
        return error->description();
    return {};
}

int KELErrorCheckerErrorCell::optimalCellHeightForWidth(const KELSyntaxCheckError* error, int width, bool approximate, const QFont& font)
{
    const int margin = 28;
    if (!error || error->description().isEmpty())
        return margin;
    if (approximate) {
        const qsizetype n = error->description().size();
        const int lines = int(std::ceil(n * 5.4 / qMax(9, width - 45)));
        return margin + (lines + 1) * 14;
    }
    return margin + int(std::ceil(textHeight(error->description(), font, width - 45)));
}

QSize KELErrorCheckerErrorCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const KELErrorListModel*>(index.model());
    const KELSyntaxCheckError* error = model ? model->errorAt(index.row()) : nullptr;
    int width = option.rect.width();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
        width = view->viewport()->width();
    return QSize(width, optimalCellHeightForWidth(error, width, index.row() > 500, smallFont()));
}

void KELErrorCheckerErrorCell::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const KELErrorListModel*>(index.model());
    const KELSyntaxCheckError* error = model ? model->errorAt(index.row()) : nullptr;
    if (!error)
        return;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QRect r = option.rect;
    const int x = r.x() + 10;
    const int w = r.width() - 10;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        QPainterPath path;
        path.addRoundedRect(QRectF(x, r.y(), w, r.height() - 1), 8, 8);
        p->fillPath(path, option.palette.color(QPalette::Highlight));
    }
    p->drawPixmap(x + 10, r.y() + 5, checkerIcon(error->level() == KELSyntaxCheckError::Error ? QStringLiteral("FileError") : QStringLiteral("FileWarning")));
    const QColor text = selected ? option.palette.color(QPalette::HighlightedText) : QColor(Qt::black);
    p->setPen(text);
    p->setFont(boldFont());
    p->drawText(QRect(x + 25, r.y() + 2, qMax(0, w - 135), 20), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(boldFont()).elidedText(error->title(), Qt::ElideRight, qMax(0, w - 135)));
    if (error->lineNumber() != 0)
        p->drawText(QRect(x + w - 100, r.y() + 2, 90, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Line %1").arg(error->lineNumber()));
    p->setFont(smallFont());
    p->drawText(QRect(x + 25, r.y() + 22, qMax(0, w - 35), qMax(0, r.height() - 24)), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
        error->description());
    p->setPen(borderColor);
    p->drawLine(QPointF(x + 0.5, r.bottom() + 0.5), QPointF(x + w - 0.5, r.bottom() + 0.5));
    p->restore();
}

KELErrorCheckerTableView::KELErrorCheckerTableView(QWidget* parent)
    : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setUniformItemSizes(false);
    setResizeMode(QListView::Adjust);
    setItemDelegate(new KELErrorCheckerErrorCell(this));
}

void KELErrorCheckerTableView::setTypeName(const QString& name)
{
    m_typeName = name;
    viewport()->update();
}

void KELErrorCheckerTableView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if ((!model() || model()->rowCount() == 0) && !m_typeName.isEmpty()) {
        QPainter p(viewport());
        QFont f = QApplication::font();
        f.setPointSize(20);
        p.setFont(f);
        p.setPen(Qt::gray);
        p.drawText(QRect(0, 20, viewport()->width(), 24 + 8), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("No %1 Errors").arg(m_typeName));
    }
}

void KELErrorCheckerTableView::mousePressEvent(QMouseEvent* event)
{
    // Clicking the chosen error again jumps to it again.
    clearSelection();
    QListView::mousePressEvent(event);
}

void KELErrorCheckerTableView::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    scheduleDelayedItemsLayout();
}

void KELErrorCheckerRefreshView::setDrawSideBorder(bool on)
{
    m_drawSideBorder = on;
    repaint();
}

void KELErrorCheckerRefreshView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (m_drawSideBorder) {
        p.setPen(borderColor);
        p.drawLine(QPointF(width() - 0.5, 0), QPointF(width() - 0.5, height()));
    }
}
