#include "project/KELPDFView.h"

#include "kit/UserDefaults.h"

#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QScrollBar>

namespace {
constexpr qreal ZoomStep = 1.25;
}

KELPDFView::KELPDFView(QWidget* parent) : QPdfView(parent)
{
    setObjectName(QStringLiteral("pdfView"));
    applyPageMode();
}

QString KELPDFView::defaultsKey(const QString& prefix, const QString& suffix)
{
    return QStringLiteral("%1:%2").arg(prefix, suffix);
}

void KELPDFView::setDefaultsPrefix(const QString& prefix)
{
    if (prefix == m_defaultsPrefix)
        return;
    m_defaultsPrefix = prefix;
    if (prefix.isEmpty() || document())
        return;
    auto& defaults = kit::UserDefaults::standard();
    const QVariant mode = defaults.value(defaultsKey(prefix, KELPDFDisplayModeDefaultsSuffix));
    const QVariant scale = defaults.value(defaultsKey(prefix, KELPDFScaleDefaultsSuffix));
    const QVariant autoScale = defaults.value(defaultsKey(prefix, KELPDFAutoresizeDefaultsSuffix));
    if (mode.isValid()) {
        m_displayMode = qBound(0, mode.toInt(), 3);
        applyPageMode();
    }
    if (autoScale.isValid() && autoScale.toBool()) {
        setZoomMode(QPdfView::ZoomMode::FitInView);
    } else {
        if (scale.isValid() && scale.toDouble() > 0) {
            setZoomMode(QPdfView::ZoomMode::Custom);
            setZoomFactor(scale.toDouble());
        }
        if (autoScale.isValid())
            setZoomMode(QPdfView::ZoomMode::Custom);
    }
}

void KELPDFView::updateDefaults() const
{
    if (m_defaultsPrefix.isEmpty())
        return;
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(defaultsKey(m_defaultsPrefix, KELPDFDisplayModeDefaultsSuffix), m_displayMode);
    defaults.setValue(defaultsKey(m_defaultsPrefix, KELPDFScaleDefaultsSuffix), double(zoomFactor()));
    defaults.setValue(defaultsKey(m_defaultsPrefix, KELPDFAutoresizeDefaultsSuffix), autoScales());
}

void KELPDFView::applyPageMode()
{
    const bool continuous = m_displayMode == SinglePageContinuous || m_displayMode == TwoUpContinuous;
    setPageMode(continuous ? QPdfView::PageMode::MultiPage : QPdfView::PageMode::SinglePage);
}

void KELPDFView::setDisplayMode(int mode)
{
    m_displayMode = qBound(0, mode, 3);
    applyPageMode();
    updateDefaults();
    Q_EMIT validationNeeded();
}

void KELPDFView::setScaleFactor(qreal scale)
{
    if (scale <= 0)
        return;
    setZoomMode(QPdfView::ZoomMode::Custom);
    setZoomFactor(scale);
    updateDefaults();
}

void KELPDFView::setAutoScales(bool on)
{
    if (on) {
        setZoomMode(QPdfView::ZoomMode::FitInView);
    } else {
        // The scale shown stays as a fixed scale.
        const qreal scale = autoScales() ? fittedScale() : zoomFactor();
        setZoomMode(QPdfView::ZoomMode::Custom);
        setZoomFactor(scale);
    }
    updateDefaults();
}

qreal KELPDFView::fittedScale() const
{
    QPdfDocument* doc = document();
    if (!doc || doc->pageCount() <= 0)
        return zoomFactor();
    const QSizeF page = doc->pagePointSize(qBound(0, currentPage(), doc->pageCount() - 1));
    const QMargins margins = documentMargins();
    const QSizeF area(viewport()->width() - margins.left() - margins.right(),
                      viewport()->height() - margins.top() - margins.bottom());
    if (page.width() <= 0 || page.height() <= 0 || area.width() <= 0 || area.height() <= 0)
        return zoomFactor();
    // Page points become pixels at the screen's resolution.
    const qreal pixelsPerPoint = logicalDpiX() / 72.0;
    return qMin(area.width() / (page.width() * pixelsPerPoint), area.height() / (page.height() * pixelsPerPoint));
}

void KELPDFView::zoomIn()
{
    const qreal from = autoScales() ? fittedScale() : zoomFactor();
    setZoomMode(QPdfView::ZoomMode::Custom);
    setZoomFactor(from * ZoomStep);
    updateDefaults();
    Q_EMIT validationNeeded();
}

void KELPDFView::zoomOut()
{
    const qreal from = autoScales() ? fittedScale() : zoomFactor();
    setZoomMode(QPdfView::ZoomMode::Custom);
    setZoomFactor(from / ZoomStep);
    updateDefaults();
    Q_EMIT validationNeeded();
}

void KELPDFView::zoomToActualSize()
{
    setZoomMode(QPdfView::ZoomMode::Custom);
    setZoomFactor(1.0);
    updateDefaults();
    Q_EMIT validationNeeded();
}

void KELPDFView::zoomToFit()
{
    if (!autoScales()) {
        // Fitted once, then kept as a fixed scale.
        const qreal fitted = fittedScale();
        setZoomMode(QPdfView::ZoomMode::Custom);
        setZoomFactor(fitted);
    }
    updateDefaults();
    Q_EMIT validationNeeded();
}

int KELPDFView::currentPage() const
{
    return pageNavigator() ? pageNavigator()->currentPage() : 0;
}

bool KELPDFView::canGoToPreviousPage() const
{
    return document() && currentPage() > 0;
}

bool KELPDFView::canGoToNextPage() const
{
    return document() && currentPage() + 1 < document()->pageCount();
}

void KELPDFView::goToPreviousPage()
{
    if (canGoToPreviousPage())
        pageNavigator()->jump(currentPage() - 1, QPointF(), 0);
    Q_EMIT validationNeeded();
}

void KELPDFView::goToNextPage()
{
    if (canGoToNextPage())
        pageNavigator()->jump(currentPage() + 1, QPointF(), 0);
    Q_EMIT validationNeeded();
}

bool KELPDFView::validateMenuItem(const QString& action, int tag, bool* checked) const
{
    bool on = false;
    bool enabled = true;
    if (action == QLatin1String("changePDFDisplayMode:"))
        on = tag == m_displayMode;
    else if (action == QLatin1String("toggleAutomaticallyResizes:"))
        on = autoScales();
    else if (action == QLatin1String("zoomToActualSize:"))
        on = qAbs(zoomFactor() - 1.0) < 0.0001;
    else if (action == QLatin1String("goToPreviousPage:"))
        enabled = canGoToPreviousPage();
    else if (action == QLatin1String("goToNextPage:"))
        enabled = canGoToNextPage();
    else if (action == QLatin1String("zoomIn:") || action == QLatin1String("zoomOut:") || action == QLatin1String("zoomToFit:"))
        enabled = document() != nullptr;
    if (checked)
        *checked = on;
    return enabled;
}

void KELPDFView::setDocumentPreservingDestination(QPdfDocument* newDocument)
{
    QPdfDocument* current = document();
    if (!current) {
        setDocument(newDocument);
        return;
    }
    const bool continuous = pageMode() == QPdfView::PageMode::MultiPage;
    int page = currentPage();
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QPointF location = pageNavigator() ? pageNavigator()->currentLocation() : QPointF();
    setDocument(newDocument);
    const int count = newDocument ? newDocument->pageCount() : 0;
    if (count <= 0)
        return; // an empty document: nothing to go to
    QPoint restoredScroll = scroll;
    if (page >= count) {
        page = count - 1;
        restoredScroll = QPoint();
        location = QPointF();
    }
    if (continuous) {
        pageNavigator()->jump(page, location, 0);
    } else {
        pageNavigator()->jump(page, QPointF(), 0);
        horizontalScrollBar()->setValue(restoredScroll.x());
        verticalScrollBar()->setValue(restoredScroll.y());
    }
}
