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
    m_observerIds.append(center.addObserver(
        KELUserDidEnterTextNotification, nullptr,
        [this](const kit::Notification& n) {
            for (const QPointer<KELSyntaxTextView>& view : std::as_const(m_textViews))
                if (view && static_cast<const void*>(view.data())
                        == n.object)
                    suggestCompletionIfAvailable(view, n.userInfo.value(KELUserDidEnterTextInsertedString).toString());
        },
        this));
    m_observerIds.append(center.addObserver(
        KELTextDidChangeNotification, nullptr,
        [this](const kit::Notification& n) {
            KELSyntaxTextView* view = m_codeCompletionTextView;
            if (view && static_cast<const void*>(view) == n.object)
                updateCompletions(view, false);
        },
        this));
    // The chain waits while the list is open.
    m_observerIds.append(center.addObserver(
        KELCompletionPanelDidCloseNotification, nullptr, [this](const kit::Notification&) { resumeIfShown(); }, this));
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            // The list belongs to a window that is no longer in front.
            KELCompletionPanel* panel = KELCompletionPanel::shared();
            if (state != Qt::ApplicationActive && panel && panel->dataSource() == this && panel->isActive())
                panel->close();
            if (state == Qt::ApplicationActive)
                resumeIfShown();
        });
        connect(app, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            // The list follows the window it completes in: another window in front closes it.
            KELCompletionPanel* panel = KELCompletionPanel::shared();
            if (panel && panel->dataSource() == this && panel->isActive()) {
                QWidget* own = m_codeCompletionTextView ? m_codeCompletionTextView->window() : nullptr;
                const bool ours = window
                    && ((own && own->windowHandle() == window)
                        || (panel->panelWindow() && panel->panelWindow()->windowHandle() == window));
                if (!ours)
                    panel->close();
            }
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
    if (KELCompletionPanel* panel = KELCompletionPanel::shared())
        panel->unsetDataSource(this);
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
    QPointer<KELSyntaxTextView> weakView(view);
    connect(view, &kit::TextView::selectionDidChange, this, [this, weakView] {
        if (weakView && weakView == m_codeCompletionTextView)
            updateCompletions(weakView, true);
        colorSegmentFromTimer();
    });
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

void KELHTMLViewColoringManager::recolorAllTags()
{
    kit::TextStorage* storage = textStorage();
    if (!storage)
        return;
    if (storage->length() <= ColorAllAtOnceLimit) {
        colorAllTags();
        return;
    }
    m_correctColoringIndex = 0;
    if (KELSyntaxTextView* view = primaryTextView())
        colorViewableTags(view);
    else
        colorSegmentFromTimer();
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
    // A scheduled step runs soon anyway: steps are short, so an edit or a caret
    // move never needs to hold the chain back.
    if (m_isColoringWithTimer)
        return;
    colorSegmentFromTimer(RestartDelay);
}

bool KELHTMLViewColoringManager::isColoringComplete() const
{
    kit::TextStorage* storage = textStorage();
    // Signed: an empty or one-character text is complete.
    return !storage || m_correctColoringIndex >= storage->length() - 1;
}

void KELHTMLViewColoringManager::colorSegmentFromTimer(double seconds)
{
    if (m_isColoringWithTimer || !textStorage() || isColoringComplete())
        return;
    if (!m_pendingCompletion && (!isPrimaryWindowActive() || isCompletionPanelActive() || !isApplicationActive()))
        return;
    m_isColoringWithTimer = true;
    m_segmentTimer.start(int(std::max(0.0, seconds) * 1000.0 + 0.5));
}

void KELHTMLViewColoringManager::colorPass(double milliseconds)
{
    kit::TextStorage* storage = textStorage();
    const qsizetype from = m_correctColoringIndex;
    const qsizetype n = std::clamp<qsizetype>(qsizetype(m_charactersPerMillisecond * milliseconds), SegmentLength,
        std::max<qsizetype>(SegmentLength, storage->length() - from));
    SyntaxInfo info(Range::intersection(Range(from, n), Range(0, storage->length())));
    info.setMaxColoringLength(quint64(n));
    QElapsedTimer clock;
    clock.start();
    setDisplayOnly(true);
    colorWithInfo(info, &m_correctColoringIndex);
    setDisplayOnly(false);
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    const qsizetype done = m_correctColoringIndex - from;
    if (done > 0 && elapsed > 0.05) {
        // The text's density changes from part to part (markup dense with tags colours
        // slower than prose): believe a slower pass at once, a faster one by halves.
        const double rate = double(done) / elapsed;
        m_charactersPerMillisecond = std::clamp(
            rate < m_charactersPerMillisecond ? rate : 0.5 * (m_charactersPerMillisecond + rate), 200.0, 1e6);
    }
    if (m_correctColoringIndex <= from && !isColoringComplete()) {
        // Nothing gained (a pass that cannot get on): step over the range asked for
        // rather than ask for it again and again.
        m_correctColoringIndex = std::min<qsizetype>(from + n, storage->length());
    }
}

bool KELHTMLViewColoringManager::colorThroughIndex(qsizetype index, double milliseconds)
{
    kit::TextStorage* storage = textStorage();
    if (!storage || !syntaxType())
        return true;
    index = std::min<qsizetype>(index, storage->length() - 1);
    QElapsedTimer clock;
    clock.start();
    while (m_correctColoringIndex < index && !isColoringComplete()) {
        const double left = milliseconds < 0 ? 1e9 : milliseconds - double(clock.nsecsElapsed()) / 1e6;
        if (left <= 0)
            return false;
        // Passes of a few milliseconds, so that a limit is kept to within one.
        colorPass(std::min(left, StepMilliseconds));
    }
    return true;
}

void KELHTMLViewColoringManager::colorSegment()
{
    m_segmentTimer.stop();
    m_isColoringWithTimer = false;
    kit::TextStorage* storage = textStorage();
    if (!storage || !syntaxType() || isColoringComplete()) {
        runPendingCompletion();
        return;
    }
    const double budget = isPrimaryWindowActive() ? StepMilliseconds : StepMilliseconds / 10;
    QElapsedTimer clock;
    clock.start();
    do {
        // One pass sized to what is left of the step, usually the only one: each pass
        // has a cost of its own (its resume, its edit batch).
        const double left = budget - double(clock.nsecsElapsed()) / 1e6;
        colorPass(std::max(left, budget / 4));
    } while (!isColoringComplete() && double(clock.nsecsElapsed()) / 1e6 < budget
        && !(m_pendingCompletion && m_pendingCompletion->selection.location <= m_correctColoringIndex));
    runPendingCompletion();
    // The next step once the events that came meanwhile are handled.
    colorSegmentFromTimer(0.0);
}

void KELHTMLViewColoringManager::runPendingCompletion()
{
    if (!m_pendingCompletion)
        return;
    const PendingCompletion pending = *m_pendingCompletion;
    if (pending.selection.location > m_correctColoringIndex && !isColoringComplete())
        return;
    m_pendingCompletion.reset();
    // Asked for at a caret that has moved since: the user went on.
    if (!pending.view || pending.view->selectedRange() != pending.selection)
        return;
    if (pending.automatic)
        suggestCompletionIfAvailable(pending.view, pending.inserted);
    else
        suggestCompletion(pending.view);
}

void KELHTMLViewColoringManager::resumeIfShown()
{
    KELSyntaxTextView* view = primaryTextView();
    if (view && view->isVisible())
        colorSegmentFromTimer();
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
    KELCompletionPanel* panel = KELCompletionPanel::shared();
    if (panel && panel->dataSource() == this && panel->isActive() && window != panel->panelWindow()
        && (!m_codeCompletionTextView || window != m_codeCompletionTextView->window()))
        panel->close();
    for (const QPointer<KELSyntaxTextView>& view : std::as_const(m_textViews))
        if (view && view->window() == window) {
            // The chain paused while the window was behind. A document's view that
            // shows resumes too; one in a hidden tab waits for its document's turn.
            if (resumeColoringWhenWindowBecomesKey() || view->isVisible())
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

// ---------------------------------------------------------------------------------------------
// Completion

KELCompletionPanel* g_completionPanel = nullptr;

KELCompletionPanel* KELCompletionPanel::shared() { return g_completionPanel; }

void KELCompletionPanel::setShared(KELCompletionPanel* panel) { g_completionPanel = panel; }

bool KELHTMLViewColoringManager::isCompletionPanelActive() const
{
    const KELCompletionPanel* panel = KELCompletionPanel::shared();
    return panel && panel->isActive();
}

std::optional<SyntaxCompletionResult> KELHTMLViewColoringManager::completionsAtCaret(
    KELSyntaxTextView* view, bool startCompletions)
{
    SyntaxType* type = syntaxType();
    kit::TextStorage* storage = view ? view->textStorage() : nullptr;
    if (!type || !storage)
        return std::nullopt;
    const qsizetype s = view->selectedRange().location;
    SyntaxInfo info(Range::intersection(Range(s, 1), Range(0, storage->length())));
    info.setCursorIndex(s);
    info.setMaxColoringLength(3000);
    info.setObserver(observer());
    return type->colorHTMLView(storage, info, startCompletions, &m_correctColoringIndex);
}

void KELHTMLViewColoringManager::setCompletions(const QList<std::shared_ptr<KELCompletion>>& completions)
{
    m_completions = completions;
    KELCompletionPanel* panel = KELCompletionPanel::shared();
    if (panel && panel->dataSource() == this)
        panel->reloadCompletions();
}

std::shared_ptr<KELCompletion> KELHTMLViewColoringManager::completionAtIndex(qsizetype index) const
{
    return index >= 0 && index < m_completions.size() ? m_completions.at(index) : nullptr;
}

void KELHTMLViewColoringManager::suggestCompletion(KELSyntaxTextView* view)
{
    if (!view || !view->textStorage())
        return;
    m_lastSelectedRange = view->selectedRange();
    view->scrollRangeToVisible(m_lastSelectedRange);
    m_pendingCompletion.reset();
    // The entries depend on what the text before the caret opened: colour up to it
    // first. Far beyond the coloured part, the chain gets there in steps and the
    // list opens then.
    if (m_lastSelectedRange.location > m_correctColoringIndex
        && !colorThroughIndex(m_lastSelectedRange.location, CompletionColoringMilliseconds)) {
        m_pendingCompletion = PendingCompletion { view, m_lastSelectedRange, false, QString() };
        colorSegmentFromTimer(0.0);
        return;
    }
    std::optional<SyntaxCompletionResult> result;
    if (m_lastSelectedRange.location <= m_correctColoringIndex || isColoringComplete())
        result = completionsAtCaret(view, true);
    if (!result)
        result.emplace();
    m_completions = result->completions();
    m_initialCompletionRange = result->maxCompletionRange();
    KELCompletionPanel* panel = KELCompletionPanel::shared();
    if (panel && panel->dataSource() == this) {
        m_codeCompletionTextView = view;
        panel->reloadCompletions();
        panel->showWindowWithCursorRect(view->cursorRectInScreenCoordinates());
    }
}

void KELHTMLViewColoringManager::suggestCompletionIfAvailable(KELSyntaxTextView* view, const QString& inserted)
{
    kit::TextStorage* storage = view ? view->textStorage() : nullptr;
    SyntaxType* type = syntaxType();
    KELCompletionPanel* panel = KELCompletionPanel::shared();
    if (!storage || !type || !panel || panel->isActive() || panel->dataSource() != this)
        return;
    const qsizetype s = view->selectedRange().location;
    if (s > m_correctColoringIndex && !isColoringComplete()) {
        // Typing ahead of the colouring: the list may open once the chain gets here.
        if (!inserted.isEmpty() && (inserted.back().isSpace() || kit::TextStorage::isLineTerminator(inserted.back())))
            return;
        m_pendingCompletion = PendingCompletion { view, view->selectedRange(), true, inserted };
        colorSegmentFromTimer(0.0);
        return;
    }
    SyntaxType* inner = type->nestedSyntaxTypeForKELHTMLView(storage, s, nullptr);
    if (!inner || !inner->usesAutoCompletion())
        return;
    if (!inserted.isEmpty() && (inserted.back().isSpace() || kit::TextStorage::isLineTerminator(inserted.back())))
        return;
    m_lastSelectedRange = view->selectedRange();
    std::optional<SyntaxCompletionResult> result = completionsAtCaret(view, false);
    if (!result || result->completions().isEmpty())
        return;
    m_completions = result->completions();
    m_initialCompletionRange = result->maxCompletionRange();
    m_codeCompletionTextView = view;
    panel->showWindowWithCursorRect(view->cursorRectInScreenCoordinates());
    panel->reloadCompletions();
}

void KELHTMLViewColoringManager::updateCompletions(KELSyntaxTextView* view, bool selectionChange)
{
    if (!view || view != m_codeCompletionTextView)
        return;
    kit::TextStorage* storage = view->textStorage();
    if (selectionChange
        && (view->selectedRange() == m_lastSelectedRange
            || (storage && (storage->editedMask() & kit::TextStorageEditedAttributes))))
        return;
    KELCompletionPanel* panel = KELCompletionPanel::shared();
    if (!panel || !panel->isActive())
        return;
    m_lastSelectedRange = view->selectedRange();
    std::optional<SyntaxCompletionResult> result = completionsAtCaret(view, true);
    const Range m = result ? result->maxCompletionRange() : Range(kit::NotFound, 0);
    const Range i = m_initialCompletionRange;
    if (m.location != kit::NotFound && i.location != kit::NotFound && i.location <= m.end() && i.end() >= m.location) {
        setCompletions(result->completions());
    } else {
        m_initialCompletionRange = Range(kit::NotFound, 0);
        panel->animateFadeOut();
    }
}

void KELHTMLViewColoringManager::applyCompletion(const std::shared_ptr<KELCompletion>& completion)
{
    if (!completion)
        return;
    const QString value = completion->value();
    if (value.isNull()) {
        kit::log(QStringLiteral("Completion has no value: %1").arg(completion->name()));
        return;
    }
    KELSyntaxTextView* view = m_codeCompletionTextView.data();
    if (!view || !view->textStorage())
        return;
    const Range range = completion->range();
    // The entry was found before later edits: never replace text that is not there.
    if (range.location == kit::NotFound || range.location < 0 || range.end() > view->textStorage()->length()) {
        kit::log(QStringLiteral("Completion range lies outside the text: %1").arg(completion->name()));
        return;
    }
    const qsizetype r = range.location;
    QString text = view->indentedStringForString(value, r);
    Range selection(r + text.size(), 0);
    const qsizetype open = text.indexOf(QLatin1String("<#"));
    const qsizetype close = open >= 0 ? text.indexOf(QLatin1String("#>"), open + 2) : -1;
    if (close >= 0) {
        const qsizetype length = close + 2 - open;
        if (length == 4) {
            text.remove(open, 4);
            selection = Range(r + open, 0);
        } else {
            selection = Range(r + open, length);
        }
    }
    view->replaceTextForCompletion(range, text, selection);
}
