#include "editor/NoodleLineNumberView.h"

#include "support/DefaultsKeys.h"
#include "editor/KELTokenParser.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "support/ColorAdditions.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cmath>

using kit::NotFound;
using kit::Range;

NoodleLineNumberView::NoodleLineNumberView(kit::ScrollView* scrollView)
    : kit::RulerView(scrollView)
{
    setClientView(scrollView ? scrollView->documentView() : nullptr);
    kit::RulerView::setRuleThickness(numberWidth());
    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this,
        [this](const QString& key) { defaultsChanged(key); });
    updateThickness(true);
}

NoodleLineNumberView::~NoodleLineNumberView() { disconnectClient(); }

kit::TextView* NoodleLineNumberView::client() const { return clientView(); }

void NoodleLineNumberView::disconnectClient()
{
    for (const auto& c : std::as_const(m_clientConnections))
        disconnect(c);
    m_clientConnections.clear();
    if (client())
        client()->removeEventFilter(this);
}

void NoodleLineNumberView::setClientView(kit::TextView* view)
{
    if (view != client() || view == nullptr)
        disconnectClient();
    kit::RulerView::setClientView(view);
    if (!view)
        return;
    if (kit::TextStorage* storage = view->textStorage()) {
        QPointer<kit::TextStorage> guarded(storage);
        m_clientConnections.append(connect(storage, &kit::TextStorage::didProcessEditing, this, [this, guarded] {
            if (guarded)
                textDidChange(guarded->editedMask(), guarded->editedRange());
        }));
    }
    if (kit::LayoutManager* lm = view->layoutManager()) {
        // The ruler repaints beside the text what the text repaints: the lines an edit
        // touched, or everything below them when lines moved.
        m_clientConnections.append(connect(lm, &kit::LayoutManager::needsDisplay, this, qOverload<>(&QWidget::update)));
        m_clientConnections.append(connect(lm, &kit::LayoutManager::needsDisplayInBand, this, &NoodleLineNumberView::displayBand));
    }
    view->installEventFilter(this);
    invalidateLineIndices();
}

bool NoodleLineNumberView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == client() && event->type() == QEvent::Resize)
        updateThickness();
    return kit::RulerView::eventFilter(watched, event);
}

QFont NoodleLineNumberView::font() const
{
    if (m_font)
        return *m_font;
    QFont f = QApplication::font();
    f.setPointSizeF(9.0);
    return f;
}

QColor NoodleLineNumberView::textColor() const
{
    return m_textColor.isValid() ? m_textColor : QColor::fromRgbF(0.42f, 0.42f, 0.42f, 1.0f);
}

void NoodleLineNumberView::setForPrinting(bool on)
{
    m_forPrinting = on;
    updateThickness(true);
}

void NoodleLineNumberView::invalidateLineIndices()
{
    m_lineIndices.clear();
    m_displayNumbers.clear();
}

void NoodleLineNumberView::invalidateLineIndicesFromCharIndex(qsizetype index)
{
    if (m_lineIndices.empty())
        return;
    // A line that starts at the edit itself may start no longer (a fold that now reaches
    // over it, an LF joining a CR): only lines that start before the edit are kept.
    const qsizetype keep = index > 0 ? lineNumberForCharacterIndex(index - 1) + 1 : 1;
    if (keep < qsizetype(m_lineIndices.size())) {
        m_lineIndices.resize(keep);
        m_displayNumbers.resize(keep);
    }
}

qsizetype NoodleLineNumberView::lineNumberForCharacterIndex(qsizetype index) const
{
    qsizetype left = 0;
    qsizetype right = qsizetype(m_lineIndices.size());
    while (right - left >= 2) {
        const qsizetype mid = (left + right) / 2;
        const qsizetype start = m_lineIndices[mid];
        if (start > index)
            right = mid;
        else if (start == index)
            return mid;
        else
            left = mid;
    }
    return left;
}

qsizetype NoodleLineNumberView::nextLineStartInText(const kit::TextStorage* storage, qsizetype index, qint64* numLines)
{
    if (numLines)
        *numLines = 1;
    const qsizetype length = storage->length();
    qsizetype end = storage->lineRange(Range(index, 0)).end();
    for (;;) {
        if (end >= length)
            return end;
        Range run;
        const QVariant token
            = storage->attribute(KELTokenIdAttributeName, end - 1, &run, Range(end - 1, length - end + 1));
        if (!token.isValid())
            return end;
        if (numLines) {
            const auto ref = token.value<KELTokenIdRef>();
            if (ref)
                *numLines += qint64(ref->newLines());
        }
        const qsizetype next = storage->lineRange(Range(std::min(run.end(), length), 0)).end();
        if (next <= end) // never stand still
            return std::min(length, end + 1);
        end = next;
    }
}

void NoodleLineNumberView::calculateLinesForCharIndex(qsizetype target)
{
    kit::TextView* view = client();
    if (!view || !view->textStorage())
        return;
    const kit::TextStorage* storage = view->textStorage();
    const qsizetype length = storage->length();
    qsizetype s = 0;
    qint64 k = 1;
    bool walk = true;
    if (!m_lineIndices.empty()) {
        s = m_lineIndices.back();
        k = m_displayNumbers.back();
        if (s >= length) {
            walk = false;
        } else {
            qint64 n = 1;
            s = nextLineStartInText(storage, s, &n);
            k += n;
        }
    }
    if (walk) {
        while (s < length && s <= target) {
            m_lineIndices.push_back(s);
            m_displayNumbers.push_back(k);
            qint64 n = 1;
            s = nextLineStartInText(storage, s, &n);
            k += n;
        }
        if (s >= length) {
            // The text ends with a line break: the empty line after it is the last line, unless
            // that break lies inside a fold reaching to the end (the fold's line is the last).
            const bool endsWithBreak = length > 0 && kit::TextStorage::isLineTerminator(storage->characterAt(length - 1))
                && !storage->attribute(KELTokenIdAttributeName, length - 1).isValid();
            if (endsWithBreak && (m_lineIndices.empty() || m_lineIndices.back() < s)) {
                m_lineIndices.push_back(s);
                m_displayNumbers.push_back(k);
            }
        }
    }
    updateThickness(false);
}

qreal NoodleLineNumberView::numberWidth() const
{
    kit::TextView* view = client();
    if (!view)
        return 22.0;
    const qreal h = kit::LayoutManager::defaultLineHeight(view->font());
    qint64 n = m_displayNumbers.empty() ? 0 : m_displayNumbers.back();
    const qreal boundsHeight = std::max<qreal>(view->documentHeight(), view->height());
    if (h > 0 && n <= qint64(boundsHeight / h))
        n = qint64(boundsHeight / h);
    int digits = n > 0 ? int(std::log10(double(n))) + 1 : 3;
    digits = std::max(digits, 3);
    const qreal width = QFontMetricsF(font()).horizontalAdvance(QString(digits, QLatin1Char('8'))) + 10.0;
    return std::ceil(std::max<qreal>(22.0, width));
}

void NoodleLineNumberView::updateThickness(bool immediately)
{
    const bool shown
        = kit::UserDefaults::standard().boolValue(m_forPrinting ? KELPrintDocumentEnableLineNumbering : KELLineNumbers);
    const qreal newThickness = shown ? numberWidth() : 0.0;
    const qreal current = ruleThickness();
    if (!(newThickness - current > 1.0 || (!shown && current > 0.5)))
        return;
    if (immediately) {
        setRuleThickness(newThickness);
    } else {
        // Never change the width in the middle of layout or drawing.
        QTimer::singleShot(0, this, [this, newThickness] { setRuleThickness(newThickness); });
    }
}

void NoodleLineNumberView::setRuleThickness(qreal thickness)
{
    if (m_stopUpdating)
        return;
    kit::RulerView::setRuleThickness(thickness);
}

void NoodleLineNumberView::textDidChange(int, Range editedRange)
{
    // What to repaint follows from the layout's notices (displayBand).
    if (editedRange.location != NotFound)
        invalidateLineIndicesFromCharIndex(editedRange.location);
    else
        update();
}

void NoodleLineNumberView::displayBand(qreal top, qreal bottom)
{
    kit::TextView* view = client();
    if (!view || bottom < top)
        return;
    // Container coordinates to the ruler's, through the window both sit in.
    const qreal shift = view->textContainerOrigin().y() - view->visibleRect().top()
        + view->mapTo(window(), QPoint()).y() - mapTo(window(), QPoint()).y();
    const qreal y0 = std::max<qreal>(top + shift, 0);
    const qreal y1 = std::min<qreal>(bottom + shift, height());
    if (y1 < y0)
        return;
    update(QRectF(0, y0, width(), y1 - y0).toAlignedRect().adjusted(0, -1, 0, 1));
}

void NoodleLineNumberView::defaultsChanged(const QString& key)
{
    if (key == KELLineNumbers && !m_forPrinting)
        updateThickness(true);
    else if (key == KELPrintDocumentEnableLineNumbering && m_forPrinting)
        updateThickness(true);
}

void NoodleLineNumberView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_backgroundColor.isValid()) {
        painter.fillRect(rect(), m_backgroundColor);
        painter.setPen(QPen(viewBorderColor(), 1.0));
        const qreal x = width() - 0.5;
        painter.drawLine(QPointF(x, 0), QPointF(x, height()));
    }
    drawHashMarksAndLabels(&painter, event->rect());
}

void NoodleLineNumberView::drawBackground(QPainter*, const QRect&) { }

void NoodleLineNumberView::drawHashMarksAndLabels(QPainter* painter, const QRect&)
{
    kit::TextView* view = client();
    // With the numbers switched off the number strip has no width; the gutter
    // may still be there for its markers, which must not show clipped numbers.
    if (!view || ruleThickness() < 0.5)
        return;
    const QRectF visible = view->visibleContainerRect();
    drawLineNumbers(painter, visible, view->textContainerInset().height() - visible.top(), width());
}

void NoodleLineNumberView::drawLineNumbers(QPainter* painter, const QRectF& containerRect, qreal yOffset, qreal width)
{
    kit::TextView* view = client();
    if (!view || !view->textStorage() || !view->layoutManager())
        return;
    kit::TextStorage* storage = view->textStorage();
    kit::LayoutManager* lm = view->layoutManager();
    lm->ensureLayoutForRect(containerRect);
    const Range r = lm->characterRangeForRect(containerRect);
    if (r.location == NotFound)
        return;
    calculateLinesForCharIndex(r.end());
    if (m_lineIndices.empty())
        return;
    painter->save();
    // A pixel-sized font draws the same on the screen and, scaled, on a printer.
    QFont f = font();
    if (f.pixelSize() <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const qreal dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        f.setPixelSize(std::max(1, int(std::lround(f.pointSizeF() * dpi / 72.0))));
    }
    painter->setFont(f);
    painter->setPen(textColor());
    const QFontMetricsF fm(f);
    const qsizetype length = storage->length();
    for (qsizetype i = lineNumberForCharacterIndex(r.location); i < qsizetype(m_lineIndices.size()); ++i) {
        const qsizetype s = m_lineIndices[i];
        if (s > 0 && storage->attribute(KELTokenIdAttributeName, s - 1).isValid())
            continue;
        if (s > r.end() + 1)
            break;
        if (s < r.location || s > r.end())
            continue;
        const QRectF line = s < length ? lm->lineFragmentRect(s) : lm->extraLineFragmentRect();
        if (line.isNull() && s >= length)
            continue;
        const qreal y = line.y() + yOffset;
        const QString label = QString::number(m_displayNumbers[i]);
        const qreal labelWidth = fm.horizontalAdvance(label);
        const QRectF box(
            width - labelWidth - 5.0, y + (line.height() - fm.height()) * 0.5, labelWidth + 1, fm.height());
        painter->drawText(box, Qt::AlignLeft | Qt::AlignTop, label);
    }
    painter->restore();
}
