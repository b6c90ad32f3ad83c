#include "syntax/KELHTMLViewColoringManager.h"

#include "support/Notifications.h"
#include "syntax/KELSyntaxTextView.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/Timers.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/PreferenceController2.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxType.h"

#include <QApplication>
#include <QWindow>
#include <algorithm>

using kit::Range;

KELHTMLViewColoringManager::KELHTMLViewColoringManager(QObject* parent)
    : QObject(parent)
{
    m_segmentTimer.setSingleShot(true);
    m_viewableTimer.setSingleShot(true);
    connect(&m_segmentTimer, &QTimer::timeout, this, [this] { colorSegment(); });
    connect(&m_viewableTimer, &QTimer::timeout, this, [this] {
        if (m_viewableView)
            colorViewableTags(m_viewableView);
    });
    kit::NotificationCenter& center = kit::NotificationCenter::defaultCenter();
    m_observerIds.append(center.addObserver(
        KELColoringSettingsChangedNotification, nullptr, [this](const kit::Notification&) { colorSettingsChanged(); },
        this));
    m_observerIds.append(center.addObserver(
        KELTextColorChangedNotification, nullptr, [this](const kit::Notification&) { textColorChanged(); }, this));
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            for (const QPointer<KELSyntaxTextView>& view : std::as_const(m_textViews))
                if (view && view->window() && view->window()->windowHandle() == window) {
                    windowDidBecomeKey(view->window());
                    return;
                }
        });
    }
}

KELHTMLViewColoringManager::~KELHTMLViewColoringManager()
{
    invalidateTimers();
    for (quint64 id : std::as_const(m_observerIds))
        kit::NotificationCenter::defaultCenter().removeObserver(id);
}

void KELHTMLViewColoringManager::addTextView(KELSyntaxTextView* view)
{
    if (!view)
        return;
    if (!m_textViews.isEmpty() && view->textStorage() != textStorage())
        kit::log(QStringLiteral("addTextView: called with textView with a different textStorage"));
    if (m_textViews.isEmpty() && view->textStorage()) {
        m_storage = view->textStorage();
        connect(m_storage, &kit::TextStorage::didProcessEditing, this, [this] { updateAfterEdit(); });
    }
    m_textViews.append(view);
    connect(view, &kit::TextView::selectionDidChange, this, [this] { colorSegmentFromTimer(); });
    connect(view, &kit::TextView::didMoveToWindow, this, [this] {
        if (resumeColoringWhenWindowBecomesKey())
            colorSegmentFromTimer();
    });
    kit::ScrollView* scrollView = view->enclosingScrollView();
    if (!scrollView) {
        kit::log(
            QStringLiteral("addTextView must be called on a textView that is in a scrollview (that will not change)"));
        return;
    }
    QPointer<KELSyntaxTextView> weak(view);
    connect(scrollView, &kit::ScrollView::boundsChanged, this, [this, weak] {
        if (weak)
            boundsDidChange(weak);
    });
}

kit::TextStorage* KELHTMLViewColoringManager::textStorage() const { return m_storage; }

KELSyntaxTextView* KELHTMLViewColoringManager::primaryTextView() const
{
    KELSyntaxTextView* first = nullptr;
    for (const QPointer<KELSyntaxTextView>& view : m_textViews) {
        if (!view)
            continue;
        if (!first)
            first = view;
        if (view->window() && view->window()->isActiveWindow())
            return view;
    }
    return first;
}

bool KELHTMLViewColoringManager::isPrimaryWindowActive() const
{
    KELSyntaxTextView* view = primaryTextView();
    return view && view->window() && view->window()->isActiveWindow();
}

bool KELHTMLViewColoringManager::isApplicationActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void KELHTMLViewColoringManager::invalidateTimers()
{
    m_segmentTimer.stop();
    m_isColoringWithTimer = false;
    m_viewableTimer.stop();
}

void KELHTMLViewColoringManager::setDisplayOnly(bool on)
{
    for (const QPointer<KELSyntaxTextView>& view : std::as_const(m_textViews))
        if (view)
            view->setInvalidateDisplayOnlyForAttributeChange(on);
}

void KELHTMLViewColoringManager::colorWithInfo(SyntaxInfo& info, qsizetype* correctColoringIndex)
{
    SyntaxType* type = syntaxType();
    kit::TextStorage* storage = textStorage();
    if (!type || !storage)
        return;
    info.setObserver(observer());
    type->colorHTMLView(storage, info, true, correctColoringIndex);
}

void KELHTMLViewColoringManager::colorAllTags()
{
    kit::TextStorage* storage = textStorage();
    if (!storage)
        return;
    const qsizetype length = storage->length();
    SyntaxInfo info(Range(0, length));
    info.setSwitchIndex(length);
    info.setMaxColoringLength(quint64(length));
    colorWithInfo(info, &m_correctColoringIndex);
}

void KELHTMLViewColoringManager::colorViewableTags(KELSyntaxTextView* view)
{
    if (!view || !textStorage())
        return;
    handleChangedTextColorIfNeeded();
    SyntaxInfo info(view->visibleRange());
    info.setMaxColoringLength(5000);
    setDisplayOnly(true);
    // A scratch index: the visible pass neither moves the coloured prefix nor is
    // widened back to it.
    qsizetype scratch = 0;
    colorWithInfo(info, &scratch);
    setDisplayOnly(false);
    colorSegmentFromTimer();
}

void KELHTMLViewColoringManager::colorViewableTagsFromTimer(KELSyntaxTextView* view)
{
    m_viewableView = view;
    m_viewableTimer.start(100);
}

void KELHTMLViewColoringManager::boundsDidChange(KELSyntaxTextView* view)
{
    kit::ScrollView* scrollView = view->enclosingScrollView();
    if (!scrollView || !scrollView->isVisible() || !scrollView->window())
        return;
    colorViewableTagsFromTimer(view);
}

void KELHTMLViewColoringManager::colorSegmentFromTimer()
{
    if (m_isColoringWithTimer) {
        m_segmentTimer.stop();
        m_isColoringWithTimer = false;
    }
    colorSegmentFromTimer(1.0);
}

void KELHTMLViewColoringManager::colorSegmentFromTimer(double seconds)
{
    kit::TextStorage* storage = textStorage();
    if (m_isColoringWithTimer || !storage)
        return;
    // Signed: an empty or one-character text is complete.
    if (m_correctColoringIndex >= storage->length() - 1)
        return;
    if (!isPrimaryWindowActive() || isCompletionPanelActive() || !isApplicationActive())
        return;
    m_isColoringWithTimer = true;
    m_segmentTimer.start(int(std::max(0.03, seconds) * 1000.0 + 0.5));
}

void KELHTMLViewColoringManager::colorSegment()
{
    m_segmentTimer.stop();
    m_isColoringWithTimer = false;
    kit::TextStorage* storage = textStorage();
    if (!storage || m_correctColoringIndex >= storage->length() - 1)
        return;
    const qsizetype n = isPrimaryWindowActive() ? SegmentLength : SegmentLength / 10;
    SyntaxInfo info(Range::intersection(Range(m_correctColoringIndex, n), Range(0, storage->length())));
    info.setMaxColoringLength(quint64(n));
    QElapsedTimer clock;
    clock.start();
    setDisplayOnly(true);
    colorWithInfo(info, &m_correctColoringIndex);
    setDisplayOnly(false);
    colorSegmentFromTimer(double(clock.nsecsElapsed()) / 1e9);
}

Range KELHTMLViewColoringManager::rangeToColorAfterEditWithRange(Range editedRange, qsizetype) { return editedRange; }

void KELHTMLViewColoringManager::updateAfterEdit()
{
    kit::TextStorage* storage = textStorage();
    if (!storage || !(storage->editedMask() & kit::TextStorageEditedCharacters))
        return;
    const Range edited = storage->editedRange();
    const qsizetype l = edited.location;
    const qsizetype k = edited.length;
    const qsizetype d = storage->changeInLength();
    const Range extra = rangeToColorAfterEditWithRange(edited, d);
    SyntaxInfo info(extra.location == kit::NotFound ? edited : Range::unionOf(edited, extra));
    const qsizetype length = storage->length();
    if (length >= 10 && k >= length - 10) {
        // A paste over the whole text: colour a bounded part now, the rest later.
        info.setSwitchIndex(l + 5 * SyntaxInfo::defaultColoringLength());
        info.setMaxColoringLength(quint64(5 * SyntaxInfo::defaultColoringLength()));
    }
    qsizetype& c = m_correctColoringIndex;
    const qsizetype oldEnd = l + k - d;
    bool colorNow = true;
    if (c >= oldEnd)
        c += d;
    else if (l < c)
        c = l;
    else if (c + 1000 < l)
        colorNow = false; // the background chain gets there
    if (colorNow)
        colorWithInfo(info, &c);
    colorSegmentFromTimer();
    QPointer<KELSyntaxTextView> view = primaryTextView();
    kit::performOnNextTurn(this, [view] {
        if (view)
            view->layoutVisibleText();
    });
}

void KELHTMLViewColoringManager::windowDidBecomeKey(QWidget* window)
{
    if (!resumeColoringWhenWindowBecomesKey())
        return;
    for (const QPointer<KELSyntaxTextView>& view : std::as_const(m_textViews))
        if (view && view->window() == window) {
            colorSegmentFromTimer();
            return;
        }
}

void KELHTMLViewColoringManager::colorSettingsChanged() { m_correctColoringIndex = 0; }

void KELHTMLViewColoringManager::handleChangedTextColorIfNeeded()
{
    if (!m_textColorChanged)
        return;
    m_textColorChanged = false;
    if (KELSyntaxTextView* view = primaryTextView())
        view->setTextColor(PreferenceController2::colorForKey(QStringLiteral("Text Color")));
}
