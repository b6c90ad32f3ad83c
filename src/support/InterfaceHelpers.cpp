#include "support/InterfaceHelpers.h"

#include "support/ColorAdditions.h"
#include "support/UtilityFunctions.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QPaintEvent>

#include <QBoxLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLayout>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <cmath>

QScreen* screenForPoint(const QPoint& point)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* s : screens) {
        if (s->geometry().contains(point))
            return s;
    }
    return screens.isEmpty() ? nullptr : screens.first();
}

QScreen* screenForRect(const QRect& rect) { return screenForPoint(rect.topLeft()); }

QRect screenVisibleFrameForPoint(const QPoint& point)
{
    QScreen* s = screenForPoint(point);
    return s ? s->availableGeometry() : QRect();
}

void replaceViewMatchingFrame(QWidget* oldView, QWidget* newView)
{
    if (!oldView || !newView || oldView == newView)
        return;
    QWidget* parent = oldView->parentWidget();
    const QRect frame = oldView->geometry();
    if (parent && parent->layout()) {
        QLayoutItem* item = parent->layout()->replaceWidget(oldView, newView);
        delete item;
    } else {
        newView->setParent(parent);
    }
    newView->setGeometry(frame);
    oldView->hide();
    newView->show();
}

void drawVerticalGradientInRect(QPainter* painter, const QRectF& rect, const GradientColorFunction& colourAt, int steps)
{
    if (!painter || !colourAt || rect.isEmpty())
        return;
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    QLinearGradient g(rect.left(), rect.bottom(), rect.left(), rect.top());
    steps = std::max(steps, 1);
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        const auto c = colourAt(t);
        g.setColorAt(t, QColor::fromRgbF(float(c[0]), float(c[1]), float(c[2]), float(c[3])));
    }
    g.setSpread(QGradient::PadSpread);
    painter->fillRect(rect, g);
    painter->restore();
}

QPointF constrainScrollPoint(const QPointF& proposed, const QSizeF& bounds, const QSizeF& document)
{
    auto axis = [](qreal p, qreal b, qreal d) {
        if (b > d)
            return std::round((d - b) / 2);
        return std::round(std::clamp<qreal>(p, 0, d - b));
    };
    return QPointF(
        axis(proposed.x(), bounds.width(), document.width()), axis(proposed.y(), bounds.height(), document.height()));
}

KELCenteredClipView::KELCenteredClipView(QWidget* parent)
    : QScrollArea(parent)
{
    setAlignment(Qt::AlignCenter);
}

QColor sourceListBackgroundColor(bool activeAndKey)
{
    return activeAndKey ? QColor::fromRgbF(0.914f, 0.937f, 0.96f, 1.0f) : viewBackgroundColor();
}

std::pair<QColor, QColor> sourceListSelectionColors(bool focused)
{
    if (focused)
        return { QColor::fromRgbF(0.369f, 0.616f, 0.89f), QColor::fromRgbF(0.051f, 0.373f, 0.761f) };
    return { QColor::fromRgbF(0.682f, 0.763f, 0.863f), QColor::fromRgbF(0.502f, 0.576f, 0.745f) };
}

QColor sourceListSelectionTopLineColor(bool firstRowOfBlock, bool focused, bool activeAndKey)
{
    if (firstRowOfBlock)
        return focused ? QColor::fromRgbF(0.286f, 0.557f, 0.855f) : QColor::fromRgbF(0.631f, 0.682f, 0.812f);
    return activeAndKey ? QColor::fromRgbF(0.84f, 0.895f, 0.95f) : QColor::fromRgbF(0.855f, 0.855f, 0.855f);
}

QString pathDisplayString(const QString& path, bool withArrowSeparator, bool newLineSeparator, int maxComponents)
{
    const QStringList components = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (components.isEmpty())
        return QString();
    const qsizetype n = components.size();
    const qsizetype first = maxComponents >= 0 && n > maxComponents ? n - maxComponents : 0;
    QString out;
    for (qsizetype i = first; i < n; ++i) {
        QString name = components.at(i);
        if (i == n - 1 && name.endsWith(QStringLiteral(".app")))
            name.chop(4);
        out += name;
        if (i != n - 1) {
            if (withArrowSeparator)
                out += QStringLiteral(" \u279E ");
            if (newLineSeparator)
                out += QLatin1Char('\n');
        }
    }
    return out;
}

QString pathDisplayStringFittingWidth(
    const QString& path, const QFont& font, bool withArrowSeparator, int maxComponents, qreal maxWidth)
{
    const QFontMetricsF fm(font);
    qsizetype n = path.split(QLatin1Char('/'), Qt::SkipEmptyParts).size();
    if (maxComponents >= 0)
        n = std::min<qsizetype>(n, maxComponents);
    for (qsizetype k = n; k >= 2; --k) {
        const QString s = pathDisplayString(path, withArrowSeparator, false, int(k));
        if (fm.horizontalAdvance(s) <= maxWidth - 8)
            return s;
    }
    return pathDisplayString(path, withArrowSeparator, false, 1);
}

QIcon iconForPathOrGeneric(const QString& path)
{
    if (QFileInfo::exists(path)) {
        const QIcon icon = UtilityFunctions::iconForPath(path);
        if (!icon.isNull())
            return icon;
    }
    const QString last = path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return last.contains(QLatin1Char('.')) ? QIcon::fromTheme(QStringLiteral("text-x-generic"))
                                           : QIcon::fromTheme(QStringLiteral("folder"));
}

QString menuPathString(const QString& path, bool includeParent)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    QString name = parts.last();
    if (name.endsWith(QStringLiteral(".app")))
        name.chop(4);
    if (includeParent && parts.size() > 1)
        name += QStringLiteral(" \u2014 ") + parts.at(parts.size() - 2);
    return name;
}

KELPreviewImageView::KELPreviewImageView(QWidget* parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
}

void KELPreviewImageView::setImage(const QImage& image)
{
    m_image = image;
    update();
}

void KELPreviewImageView::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF size = QSizeF(m_image.size()).scaled(QSizeF(this->size()), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    p.drawImage(target, m_image);
}

void KELTableView::setDrawsSourceListBackground(bool on)
{
    if (m_sourceList == on)
        return;
    m_sourceList = on;
    viewport()->update();
}

void KELTableView::paintEvent(QPaintEvent* event)
{
    if (m_sourceList) {
        QPainter p(viewport());
        const bool activeAndKey = QApplication::activeWindow() == window();
        p.fillRect(event->rect(), sourceListBackgroundColor(activeAndKey));
    }
    QTableView::paintEvent(event);
}

QProgressBar* makeProgressIndicator(QWidget* parent)
{
    auto* indicator = new QProgressBar(parent);
    indicator->setObjectName(QStringLiteral("progressIndicator"));
    indicator->setTextVisible(false);
    indicator->setMaximumWidth(60);
    QSizePolicy policy = indicator->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    indicator->setSizePolicy(policy);
    setProgressIndicatorAnimating(indicator, false);
    return indicator;
}

void setProgressIndicatorAnimating(QProgressBar* indicator, bool animating)
{
    if (!indicator)
        return;
    indicator->setRange(0, animating ? 0 : 1);
    indicator->setVisible(animating);
}

// ---------------------------------------------------------------------------------------------

KELPathLabel::KELPathLabel(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void KELPathLabel::setPath(const QString& path)
{
    if (path == m_path)
        return;
    m_path = path;
    setToolTip(path);
    setAccessibleName(path);
    update();
}

void KELPathLabel::setArrowSeparator(bool on)
{
    m_arrows = on;
    update();
}

void KELPathLabel::setMaxComponents(int count)
{
    m_maxComponents = count;
    update();
}

QSize KELPathLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(200, std::max(fm.height(), IconSize) + 4);
}

QSize KELPathLabel::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

QString KELPathLabel::separator() const { return m_arrows ? QStringLiteral(" \u279E ") : QStringLiteral(" "); }

QStringList KELPathLabel::components() const
{
    return m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

qreal KELPathLabel::widthOfLastComponents(int k) const
{
    const QFontMetricsF fm(font());
    const QStringList parts = components();
    qreal width = 0;
    for (qsizetype i = parts.size() - k; i < parts.size(); ++i) {
        QString name = parts.at(i);
        if (i == parts.size() - 1 && name.endsWith(QStringLiteral(".app")))
            name.chop(4);
        width += IconSize + fm.horizontalAdvance(QLatin1Char(' ')) + fm.horizontalAdvance(name);
        if (i != parts.size() - 1)
            width += fm.horizontalAdvance(separator());
    }
    return width;
}

int KELPathLabel::shownComponentCount() const
{
    const qsizetype all = components().size();
    if (all == 0)
        return 0;
    int n = int(m_maxComponents >= 0 ? std::min<qsizetype>(all, m_maxComponents) : all);
    // The most whole components that fit, the last one alone when none do.
    for (int k = n; k >= 2; --k)
        if (widthOfLastComponents(k) <= width() - 8)
            return k;
    return 1;
}

QStringList KELPathLabel::shownComponents() const
{
    const QStringList parts = components();
    const int k = shownComponentCount();
    QStringList shown = parts.mid(parts.size() - k);
    if (!shown.isEmpty() && shown.last().endsWith(QStringLiteral(".app")))
        shown.last().chop(4);
    return shown;
}

QString KELPathLabel::shownText() const { return shownComponents().join(separator()); }

void KELPathLabel::paintEvent(QPaintEvent*)
{
    const QStringList parts = components();
    const int k = shownComponentCount();
    if (k == 0)
        return;
    QPainter painter(this);
    const QFontMetricsF fm(font());
    const qreal y = (height() - fm.height()) / 2.0;
    const qreal baseline = y + fm.ascent();
    qreal x = 0;
    // The running path of each component shown gives its icon.
    QString running;
    for (qsizetype i = 0; i < parts.size() - k; ++i)
        running += QLatin1Char('/') + parts.at(i);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    for (qsizetype i = parts.size() - k; i < parts.size(); ++i) {
        running += QLatin1Char('/') + parts.at(i);
        QString name = parts.at(i);
        if (i == parts.size() - 1 && name.endsWith(QStringLiteral(".app")))
            name.chop(4);
        const QIcon icon = iconForPathOrGeneric(running);
        // Icons sit a little below the text's middle, as on a line of text.
        icon.paint(&painter, QRect(int(x), int((height() - IconSize) / 2.0 + 1), IconSize, IconSize));
        x += IconSize + fm.horizontalAdvance(QLatin1Char(' '));
        painter.drawText(QPointF(x, baseline), name);
        x += fm.horizontalAdvance(name);
        if (i != parts.size() - 1) {
            painter.drawText(QPointF(x, baseline - 1), separator());
            x += fm.horizontalAdvance(separator());
        }
    }
}
