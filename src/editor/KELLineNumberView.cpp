#include "editor/KELLineNumberView.h"
#include "kit/AccessibleItems.h"

#include "support/DefaultsKeys.h"
#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "editor/KELTooltip.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/ColorAdditions.h"

#include <QBuffer>
#include <QCursor>
#include <QEnterEvent>
#include <QFile>
#include <QHash>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

using kit::NotFound;
using kit::Range;

namespace {
bool defaultOn(const QString& key) { return kit::UserDefaults::standard().boolValue(key); }

bool overlaps(Range a, Range b)
{
    if (a.location == NotFound || b.location == NotFound)
        return false;
    return a.location < b.end() && b.location < a.end();
}
} // namespace

// ---------------------------------------------------------------------------------------------

int KELGutterMarker::compare(const KELGutterMarker& other) const
{
    if (rect.y() > other.rect.y() + 0.5)
        return 1;
    if (other.rect.y() - 0.5 > rect.y())
        return -1;
    if (priority < other.priority)
        return -1;
    if (priority > other.priority)
        return 1;
    return 0;
}

// ---------------------------------------------------------------------------------------------

KELGutterAnimation::KELGutterAnimation(KELLineNumberView* view, double targetOpacity)
    : QVariantAnimation(view)
    , m_view(view)
    , m_target(targetOpacity)
{
    m_progress = 1.0 - std::abs(view->markerOpacity() - targetOpacity);
    setEasingCurve(QEasingCurve::Linear);
    setStartValue(m_progress);
    setEndValue(1.0);
    setDuration(std::max(1, int(std::lround(FullDurationMs * (1.0 - m_progress)))));
}

void KELGutterAnimation::setCurrentProgress(double p)
{
    m_progress = p;
    if (m_view)
        m_view->setMarkerOpacity(p * m_target + (1.0 - m_target) * (1.0 - p));
}

void KELGutterAnimation::updateCurrentValue(const QVariant& value)
{
    if (state() == QAbstractAnimation::Stopped && currentTime() == 0)
        return;
    setCurrentProgress(value.toDouble());
}

// ---------------------------------------------------------------------------------------------

KELLineNumberView::KELLineNumberView(kit::ScrollView* scrollView)
    : NoodleLineNumberView(scrollView)
{
    if (!backgroundColor().isValid())
        setBackgroundColor(viewBackgroundColor());
    updateMarkerThickness();
    setMouseTracking(true);
    m_tooltipTimer.setSingleShot(true);
    m_tooltipTimer.setInterval(TooltipDelayMs);
    connect(&m_tooltipTimer, &QTimer::timeout, this, &KELLineNumberView::showTooltipForCurrentMouseLocation);
    static const bool accessible = [] {
        kit::AccessibleItemsDescription d;
        d.role = QAccessible::Pane;
        d.name = [](QWidget*) { return tr("Line numbers"); };
        d.items = [](QWidget* w) { return static_cast<KELLineNumberView*>(w)->accessibleMarkers(); };
        kit::registerAccessibleItems(staticMetaObject.className(), std::move(d));
        return true;
    }();
    Q_UNUSED(accessible);
}

QList<kit::AccessibleItem> KELLineNumberView::accessibleMarkers()
{
    // The markers of the lines shown, fold candidates included whether or not the mouse
    // is over the gutter: a reader has no mouse to reveal them.
    QList<kit::AccessibleItem> items;
    KELTextView* view = textView();
    if (!view || forPrinting())
        return items;
    const QRectF wide = view->visibleContainerRect().adjusted(0, -22.0, 0, 22.0);
    view->layoutManager()->ensureLayoutForRect(wide);
    const Range visible = view->layoutManager()->characterRangeForRect(wide);
    if (visible.location == NotFound)
        return items;
    auto lines = [this](Range range) {
        const quint64 first = displayedLineNumberForCharacterIndex(range.location);
        const quint64 last = displayedLineNumberForCharacterIndex(std::max(range.location, range.end() - 1));
        return first == last ? QString::number(first) : QStringLiteral("%1\u2013%2").arg(first).arg(last);
    };
    for (const KELGutterMarker& m : gutterMarkersForTextRange(visible, view, true)) {
        kit::AccessibleItem item;
        item.role = QAccessible::Button;
        item.rect = m.rect.toAlignedRect();
        switch (m.type) {
        case KELGutterMarker::ErrorGroup: {
            QStringList titles, details;
            for (const KELSyntaxCheckError& e : m.errors) {
                titles.append(e.title());
                details.append(tr("Line %1: %2").arg(e.lineNumber()).arg(e.description()));
            }
            item.name = titles.join(QStringLiteral("; "));
            item.description = details.join(QLatin1Char('\n'));
            break;
        }
        case KELGutterMarker::FoldControl: {
            const Range range = m.foldOpp ? m.foldOpp->contentsRange() : m.textRange;
            if (range.location == NotFound || range.length <= 0)
                continue;
            item.name = tr("Fold lines %1").arg(lines(range));
            break;
        }
        case KELGutterMarker::FoldedRange:
            item.name = tr("Unfold lines %1").arg(lines(m.textRange));
            break;
        default:
            continue;
        }
        item.press = [this, m] { pressMarker(m); };
        items.append(item);
    }
    return items;
}

KELLineNumberView::~KELLineNumberView()
{
    invalidateTooltipTimer();
    dropTooltip(false);
    if (m_animation)
        m_animation->stop();
}

void KELLineNumberView::setForPrinting(bool on)
{
    NoodleLineNumberView::setForPrinting(on);
    updateMarkerThickness();
    update();
}

void KELLineNumberView::updateMarkerThickness()
{
    const bool markers
        = !forPrinting() && (defaultOn(KELShowCodeFoldingInGutter) || defaultOn(KELShowPreviewErrorsInGutter));
    setReservedThicknessForMarkers(markers ? MarkerStripWidth : 0.0);
}

void KELLineNumberView::defaultsChanged(const QString& key)
{
    NoodleLineNumberView::defaultsChanged(key);
    if (key == KELErrorCheckerShowWarnings) {
        update();
    } else if (key == KELShowCodeFoldingInGutter || key == KELShowPreviewErrorsInGutter) {
        updateMarkerThickness();
        update();
    }
}

KELTextView* KELLineNumberView::textView() const { return qobject_cast<KELTextView*>(client()); }

const QList<KELSyntaxCheckError>& KELLineNumberView::documentErrors() const
{
    if (m_errorsProvider)
        if (const QList<KELSyntaxCheckError>* errors = m_errorsProvider())
            return *errors;
    return m_errors;
}

void KELLineNumberView::setDocumentErrors(const QList<KELSyntaxCheckError>& errors)
{
    if (errors == m_errors)
        return;
    m_errors = errors;
    std::stable_sort(m_errors.begin(), m_errors.end(), [](const KELSyntaxCheckError& a, const KELSyntaxCheckError& b) {
        return KELSyntaxCheckError::compareByTextLocation(a, b) < 0;
    });
    documentErrorsDidChange();
}

void KELLineNumberView::setDocumentErrorsProvider(ErrorListProvider provider)
{
    m_errorsProvider = std::move(provider);
    m_errors.clear();
    documentErrorsDidChange();
}

void KELLineNumberView::documentErrorsDidChange()
{
    if (defaultOn(KELShowPreviewErrorsInGutter)) {
        update();
        if (m_tooltip && !m_tooltip->isFadingOut())
            showTooltipForCurrentMouseLocation();
    }
}

quint64 KELLineNumberView::displayedLineNumberForCharacterIndex(qsizetype index)
{
    kit::TextView* view = client();
    if (!view || !view->textStorage() || index < 0)
        return 1;
    const kit::TextStorage* storage = view->textStorage();
    index = std::min(index, storage->length());
    calculateLinesForCharIndex(index);
    if (lineIndices().empty())
        return 1;
    const qsizetype line = lineNumberForCharacterIndex(index);
    // A folded line numbers only its first line: count the breaks inside the fold up to the index.
    quint64 number = quint64(displayNumbers()[size_t(line)]);
    qsizetype pos = lineIndices()[size_t(line)];
    while (pos < index) {
        const qsizetype end = storage->lineRange(Range(pos, 0)).end();
        if (end <= pos || end > index)
            break;
        ++number;
        pos = end;
    }
    return number;
}

void KELLineNumberView::setMarkerOpacity(double opacity)
{
    m_markerOpacity = opacity;
    if (opacity <= 0.005)
        m_unfoldedRange = Range(NotFound, 0);
    repaint();
}

QString KELLineNumberView::errorIconNameForErrorLevel(qint32 level)
{
    return level == 1 ? QStringLiteral("FileError") : QStringLiteral("FileWarning");
}

QPixmap KELLineNumberView::markerImage(const QString& name)
{
    static QHash<QString, QPixmap> cache;
    auto it = cache.constFind(name);
    if (it != cache.constEnd())
        return *it;
    const bool icon = name == QLatin1String("FileError") || name == QLatin1String("FileWarning");
    const int size = icon ? int(ErrorIconSize) : int(TriangleSize);
    QPixmap pm;
    const QString file = kit::resourcePath(QStringLiteral("Images/%1.png").arg(name));
    if (!file.isEmpty() && QFile::exists(file))
        pm.load(file);
    if (pm.isNull()) {
        // Drawn artwork: round icons for problems, grey triangles for folds.
        const qreal dpr = 2.0;
        pm = QPixmap(int(size * dpr), int(size * dpr));
        pm.setDevicePixelRatio(dpr);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        if (icon) {
            const bool error = name == QLatin1String("FileError");
            p.setPen(Qt::NoPen);
            p.setBrush(error ? QColor(214, 48, 49) : QColor(236, 166, 30));
            if (error) {
                p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
            } else {
                QPainterPath tri;
                tri.moveTo(s / 2, 0.5);
                tri.lineTo(s - 0.5, s - 0.5);
                tri.lineTo(0.5, s - 0.5);
                tri.closeSubpath();
                p.drawPath(tri);
            }
            p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s / 2, s * 0.3), QPointF(s / 2, s * 0.6));
            p.drawPoint(QPointF(s / 2, s * 0.8));
        } else {
            QPainterPath tri;
            if (name == QLatin1String("DisclosureTriangleRight")) {
                tri.moveTo(2, 1);
                tri.lineTo(s - 1.5, s / 2);
                tri.lineTo(2, s - 1);
            } else if (name == QLatin1String("DisclosureTriangleUp")) {
                tri.moveTo(1, s - 2);
                tri.lineTo(s / 2, 1.5);
                tri.lineTo(s - 1, s - 2);
            } else {
                tri.moveTo(1, 2);
                tri.lineTo(s - 1, 2);
                tri.lineTo(s / 2, s - 1.5);
            }
            tri.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(110, 110, 110));
            p.drawPath(tri);
        }
    }
    cache.insert(name, pm);
    return pm;
}

QRectF KELLineNumberView::indicatorRect(const QSizeF& size, qsizetype i, KELTextView* view, const QRectF& visible) const
{
    kit::LayoutManager* lm = view->layoutManager();
    const qsizetype length = view->textStorage()->length();
    QRectF line;
    if (i < length)
        line = lm->lineFragmentRect(std::max<qsizetype>(0, i));
    else if (length > 0)
        line = lm->lineFragmentRect(length - 1);
    else
        line = lm->extraLineFragmentRect();
    const qreal y = std::floor(
        line.y() + view->textContainerInset().height() - visible.y() + (line.height() - size.height()) * 0.5);
    return QRectF(1.0, y, size.width(), size.height());
}

QList<KELGutterMarker> KELLineNumberView::visibleGutterMarkers() const
{
    KELTextView* view = textView();
    if (!view || forPrinting())
        return {};
    QRectF visible = view->visibleContainerRect();
    QRectF wide = visible.adjusted(0, -22.0, 0, 22.0);
    view->layoutManager()->ensureLayoutForRect(wide);
    const Range r = view->layoutManager()->characterRangeForRect(wide);
    if (r.location == NotFound)
        return {};
    return gutterMarkersForTextRange(r, view);
}

QList<KELGutterMarker> KELLineNumberView::gutterMarkersForTextRange(Range r, KELTextView* view,
                                                                    bool allFoldCandidates) const
{
    QList<KELGutterMarker> markers;
    if (!view)
        return markers;
    kit::TextStorage* storage = view->textStorage();
    const qsizetype length = storage->length();
    const QRectF visible = view->visibleContainerRect();
    quint64 priority = 0;

    // 1. One marker per line with problems.
    if (defaultOn(KELShowPreviewErrorsInGutter)) {
        const bool showWarnings = defaultOn(KELErrorCheckerShowWarnings);
        bool open = false;
        KELGutterMarker group;
        qint32 level = 0;
        auto close = [&] {
            group.type = KELGutterMarker::ErrorGroup;
            group.imageName = errorIconNameForErrorLevel(level);
            group.priority = priority++;
            markers.append(group);
            open = false;
        };
        for (const KELSyntaxCheckError& e : documentErrors()) {
            if (e.level() == 0 && !showWarnings)
                continue;
            const qsizetype loc = e.textRange().location;
            if (loc == NotFound || loc < r.location)
                continue;
            if (r.end() < length && loc >= r.end())
                continue;
            const QRectF rect = indicatorRect(QSizeF(ErrorIconSize, ErrorIconSize), loc, view, visible);
            if (open && rect.y() > group.rect.y() + group.rect.height() - 0.5)
                close();
            if (!open) {
                group = KELGutterMarker();
                group.rect = rect;
                group.textRange = e.textRange();
                level = e.level();
                open = true;
            } else if (level == 0 && e.level() == 1) {
                level = 1;
            }
            group.errors.append(e);
        }
        if (open)
            close();
    }

    const bool folding = defaultOn(KELShowCodeFoldingInGutter);
    const QSizeF triangle(TriangleSize, TriangleSize);
    // 2. The ends of the range just unfolded.
    if (folding && m_unfoldedRange.location != NotFound && m_unfoldedRange.length > 0) {
        if (m_unfoldedRange.location >= r.location && m_unfoldedRange.location < r.end()) {
            KELGutterMarker m;
            m.type = KELGutterMarker::FoldControl;
            m.rect = indicatorRect(triangle, m_unfoldedRange.location, view, visible);
            m.imageName = QStringLiteral("DisclosureTriangleDown");
            m.textRange = m_unfoldedRange;
            m.priority = priority++;
            m.opacity = m_markerOpacity;
            markers.append(m);
        }
        const qsizetype last = m_unfoldedRange.end() - 1;
        if (last >= r.location && last < r.end()) {
            KELGutterMarker m;
            m.type = KELGutterMarker::FoldControl;
            m.rect = indicatorRect(triangle, m_unfoldedRange.end(), view, visible);
            m.imageName = QStringLiteral("DisclosureTriangleUp");
            m.textRange = m_unfoldedRange;
            m.priority = priority++;
            m.opacity = m_markerOpacity;
            markers.append(m);
        }
    }

    // 3. Folds, and fold candidates while the mouse is over the gutter.
    if (folding && r.length > 0) {
        quint64 candidatePriority = 100000;
        const Range limited = Range::intersection(r, Range(0, length));
        for (const kit::AttributeRun& run : storage->runs(KELTokenIdAttributeName, limited)) {
            const Range runRange(run.start, run.length);
            if (run.value.isValid()) {
                if (storage->attribute(KELTokenTypeAttributeName, run.start).toInt() == 2) {
                    KELGutterMarker m;
                    m.type = KELGutterMarker::FoldedRange;
                    m.rect = indicatorRect(triangle, run.start, view, visible);
                    m.imageName = QStringLiteral("DisclosureTriangleRight");
                    m.textRange = runRange;
                    m.priority = priority++;
                    markers.append(m);
                }
            } else if (m_foldDataSource && (allFoldCandidates || m_markerOpacity > 0.005)) {
                for (const KELCodeFoldOpportunityRef& opp : m_foldDataSource->foldOpportunitiesInRange(runRange)) {
                    if (!opp)
                        continue;
                    KELGutterMarker m;
                    m.type = KELGutterMarker::FoldControl;
                    m.rect = indicatorRect(triangle, opp->contentsLocation(), view, visible);
                    m.imageName = QStringLiteral("DisclosureTriangleDown");
                    m.foldOpp = opp;
                    m.opacity = m_markerOpacity;
                    m.priority = candidatePriority++;
                    markers.append(m);
                }
            }
        }
    }

    // 4. Sorted; a marker that overlaps the one kept before it is dropped.
    std::stable_sort(markers.begin(), markers.end(),
        [](const KELGutterMarker& a, const KELGutterMarker& b) { return a.compare(b) < 0; });
    QList<KELGutterMarker> kept;
    qreal lastBottom = -1000.0;
    for (const KELGutterMarker& m : std::as_const(markers)) {
        if (m.rect.y() > lastBottom) {
            kept.append(m);
            lastBottom = m.rect.y() + m.rect.height() - 0.5;
        }
    }
    return kept;
}

std::optional<KELGutterMarker> KELLineNumberView::markerForPoint(const QPointF& point) const
{
    for (const KELGutterMarker& m : visibleGutterMarkers()) {
        if (m.rect.contains(point))
            return m;
    }
    return std::nullopt;
}

void KELLineNumberView::paintEvent(QPaintEvent* event)
{
    NoodleLineNumberView::paintEvent(event);
    QPainter p(this);
    for (const KELGutterMarker& m : visibleGutterMarkers()) {
        p.setOpacity(m.opacity);
        p.drawPixmap(m.rect, markerImage(m.imageName), QRectF());
    }
}

void KELLineNumberView::mousePressEvent(QMouseEvent* event)
{
    NoodleLineNumberView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (m_tooltip && !m_tooltip->isFadingOut())
        return;
    const std::optional<KELGutterMarker> marker = markerForPoint(event->position());
    if (marker)
        pressMarker(*marker);
}

void KELLineNumberView::pressMarker(const KELGutterMarker& clicked)
{
    KELTextView* view = textView();
    if (!view)
        return;
    const KELGutterMarker* marker = &clicked;
    switch (marker->type) {
    case KELGutterMarker::ErrorGroup:
        showTooltipForMarker(*marker);
        break;
    case KELGutterMarker::FoldControl: {
        const Range range = marker->foldOpp ? marker->foldOpp->contentsRange() : marker->textRange;
        if (range.location == NotFound || range.length <= 0)
            break;
        view->foldTextInRange(range);
        if (overlaps(range, m_unfoldedRange))
            m_unfoldedRange = Range(NotFound, 0);
        update();
        break;
    }
    case KELGutterMarker::FoldedRange: {
        kit::TextStorage* storage = view->textStorage();
        const qsizetype loc = marker->textRange.location;
        if (loc >= storage->length())
            break;
        Range token;
        storage->attribute(KELTokenIdAttributeName, loc, &token, Range(0, storage->length()));
        if (storage->attribute(KELTokenTypeAttributeName, loc).toInt() == 2) {
            view->unfoldTextInRange(marker->textRange);
            m_unfoldedRange = token;
        }
        update();
        break;
    }
    default:
        break;
    }
}

void KELLineNumberView::mouseMoveEvent(QMouseEvent* event)
{
    NoodleLineNumberView::mouseMoveEvent(event);
    mouseMovedTo(event->position());
}

void KELLineNumberView::mouseMovedTo(const QPointF& point)
{
    const std::optional<KELGutterMarker> marker = markerForPoint(point);
    const bool onError = marker && marker->type == KELGutterMarker::ErrorGroup;
    const Range key = onError ? marker->textRange : Range(NotFound, 0);
    if (key == m_hoveredErrorMarker)
        return;
    // Leaving a marker: cancel and hide; entering an error marker: arm the timer.
    if (m_hoveredErrorMarker.location != NotFound) {
        invalidateTooltipTimer();
        hideTooltip();
    }
    m_hoveredErrorMarker = key;
    if (onError) {
        invalidateTooltipTimer();
        m_tooltipTimer.start();
    }
}

void KELLineNumberView::enterEvent(QEnterEvent* event)
{
    NoodleLineNumberView::enterEvent(event);
    startMarkerAnimationWithTargetOpacity(1.0);
    mouseMovedTo(event->position());
}

void KELLineNumberView::leaveEvent(QEvent* event)
{
    NoodleLineNumberView::leaveEvent(event);
    startMarkerAnimationWithTargetOpacity(0.0);
    invalidateTooltipTimer();
    hideTooltip();
    m_hoveredErrorMarker = Range(NotFound, 0);
}

void KELLineNumberView::hideEvent(QHideEvent* event)
{
    NoodleLineNumberView::hideEvent(event);
    invalidateTooltipTimer();
    dropTooltip(false);
}

bool KELLineNumberView::event(QEvent* e)
{
    if (e->type() == QEvent::ParentAboutToChange) {
        // Moving to another window: no tooltip, no fade, no unfolded pair.
        invalidateTooltipTimer();
        dropTooltip(false);
        if (m_animation)
            m_animation->stop();
        m_markerOpacity = 0.0;
        m_unfoldedRange = Range(NotFound, 0);
    }
    return NoodleLineNumberView::event(e);
}

void KELLineNumberView::textDidChange(int mask, Range editedRange)
{
    NoodleLineNumberView::textDidChange(mask, editedRange);
    if (mask & kit::TextStorageEditedCharacters) {
        m_unfoldedRange = Range(NotFound, 0);
        hideTooltip();
    }
}

void KELLineNumberView::startMarkerAnimationWithTargetOpacity(double target)
{
    if (m_animation) {
        m_animation->stop();
        m_animation->deleteLater();
    }
    auto* anim = new KELGutterAnimation(this, target);
    m_animation = anim;
    if (anim->currentProgress() < 1.0)
        anim->start();
}

// ---------------------------------------------------------------------------------------------
// Tooltips

std::optional<QString> KELLineNumberView::tooltipStringForErrors(const QList<KELSyntaxCheckError>& errors)
{
    if (errors.isEmpty())
        return std::nullopt;
    QString html;
    bool first = true;
    for (const KELSyntaxCheckError& e : errors) {
        if (!first)
            html += QStringLiteral("<br><br>");
        first = false;
        html += QStringLiteral("<img src=\"%1\" style=\"vertical-align: middle\"> <b>%2</b>")
                    .arg(errorIconNameForErrorLevel(e.level()), e.title().toHtmlEscaped());
        html += QStringLiteral("<br>Line %1: %2").arg(e.lineNumber()).arg(e.description().toHtmlEscaped());
    }
    return html;
}

void KELLineNumberView::invalidateTooltipTimer() { m_tooltipTimer.stop(); }

void KELLineNumberView::showTooltipForCurrentMouseLocation()
{
    invalidateTooltipTimer();
    if (!window() || !isVisible())
        return;
    hideTooltip();
    const QPointF local = mapFromGlobal(QCursor::pos());
    const std::optional<KELGutterMarker> marker = markerForPoint(local);
    if (marker && marker->type == KELGutterMarker::ErrorGroup)
        showTooltipForMarker(*marker);
}

void KELLineNumberView::showTooltipForMarker(const KELGutterMarker& marker)
{
    // The line an error was found on moves with the edits made since: name the line it is on now.
    QList<KELSyntaxCheckError> errors = marker.errors;
    for (KELSyntaxCheckError& e : errors)
        if (e.textRange().location != NotFound)
            e.setLineNumber(displayedLineNumberForCharacterIndex(e.textRange().location));
    const std::optional<QString> text = tooltipStringForErrors(errors);
    if (!text)
        return;
    const QPoint anchor = mapToGlobal(marker.rect.center().toPoint());
    const int offset = int(std::ceil(marker.rect.width() * 0.5));
    QHash<QString, QImage> images;
    for (const QString& name : { QStringLiteral("FileError"), QStringLiteral("FileWarning") })
        images.insert(name, markerImage(name).toImage());
    auto* tooltip = new KELTooltip(*text, anchor, offset, images);
    invalidateTooltipTimer();
    hideTooltip();
    m_tooltip = tooltip;
    tooltip->orderFront();
}

void KELLineNumberView::hideTooltip()
{
    if (!m_tooltip)
        return;
    KELTooltip* t = m_tooltip;
    m_tooltip = nullptr;
    // The panel frees itself once its fade-out has closed it.
    t->performClose();
    QTimer::singleShot(KELTooltip::FadeOutMs + 100, t, [t] { t->deleteLater(); });
}

void KELLineNumberView::dropTooltip(bool)
{
    if (!m_tooltip)
        return;
    KELTooltip* t = m_tooltip;
    m_tooltip = nullptr;
    t->closeNow();
    t->deleteLater();
}
