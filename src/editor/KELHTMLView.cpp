#include "editor/KELHTMLView.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "editor/HTMLSpellChecker.h"
#include "kit/GuessDialog.h"
#include "kit/NotificationCenter.h"
#include "kit/SpellChecker.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/PreferenceController2.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <algorithm>
#include <cmath>

using kit::NotFound;
using kit::Range;

namespace {
KELCodeCompletionKeyTarget* g_completion = nullptr;

// One cache of tab stops for every view: rebuilt only when the width of "n" changes.
struct TabStopCache
{
    qreal width = -1;
    QList<qreal> stops;
};
TabStopCache& tabStopCache()
{
    static TabStopCache cache;
    return cache;
}

QColor colorFromNotification(const kit::Notification& n)
{
    const QVariant v = n.userInfo.value(QStringLiteral("color"));
    return v.canConvert<QColor>() ? v.value<QColor>() : QColor();
}
} // namespace

KELHTMLView::KELHTMLView(QWidget* parent)
    : KELTextView(parent)
{
    setupView();
    setupTagEditing();
}

KELHTMLView::~KELHTMLView() { endNotificationResponse(); }

void KELHTMLView::setupView()
{
    // Editors check spelling through the markup-aware checker unless start-up installed
    // another one first.
    if (!kit::SpellChecker::sharedSpellCheckerExists())
        HTMLSpellChecker::installAsSharedSpellChecker();
    auto& defaults = kit::UserDefaults::standard();
    const QColor background = defaults.colorValue(KELBackgroundColorKey);
    if (background.isValid())
        setBackgroundColor(background);
    const QColor selection = defaults.colorValue(KELSelectionColorKey);
    if (selection.isValid())
        setSelectedTextBackgroundColor(selection);

    m_observerContext = new QObject(this);
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(
        KELTextColorChangedNotification, nullptr, [this](const kit::Notification&) { updateTextColor(); },
        m_observerContext);
    center.addObserver(
        KELBackgroundColoringChangedNotification, nullptr,
        [this](const kit::Notification& n) {
            const QColor c = colorFromNotification(n);
            if (c.isValid())
                setBackgroundColor(c);
            setAttribute(Qt::WA_OpaquePaintEvent, isOpaque());
            update();
        },
        m_observerContext);
    center.addObserver(
        KELSelectionColorChangedNotification, nullptr,
        [this](const kit::Notification& n) {
            const QColor c = colorFromNotification(n);
            if (c.isValid())
                setSelectedTextBackgroundColor(c);
        },
        m_observerContext);
    center.addObserver(
        KELUpdatedTextSettingsNotification, nullptr, [this](const kit::Notification&) { updateTextSettings(); },
        m_observerContext);

    connect(this, &kit::TextView::didMoveToWindow, this,
        [this] { kit::NotificationCenter::defaultCenter().post(KELTextViewDidMoveToWindowNotification, this); });

    // The text-setting toggles: each flips its default and tells every editor.
    const QList<std::pair<QString, QString>> toggles = {
        { QStringLiteral("toggleContinuousSpellChecking:"), KELCheckSpellingAsYouType },
        { QStringLiteral("toggleAutomaticSpellingCorrection:"), KELAutomaticallyCorrectSpelling },
        { QStringLiteral("toggleAutomaticTextReplacement:"), KELAutomaticTextReplacement },
        { QStringLiteral("toggleAutomaticDashSubstitution:"), KELSmartDashes },
        { QStringLiteral("toggleAutomaticDataDetection:"), KELDataDetectors },
        { QStringLiteral("toggleAutomaticLinkDetection:"), KELLinkDetectors },
        { QStringLiteral("toggleAutomaticQuoteSubstitution:"), KELSmartQuotes },
        { QStringLiteral("toggleSmartInsertDelete:"), KELSmartInsertDelete },
    };
    for (const auto& [action, key] : toggles) {
        const QString k = key;
        registerAction(
            action,
            [this, k](QObject*) {
                auto& d = kit::UserDefaults::standard();
                d.setValue(k, !d.boolValue(k));
                kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, this);
            },
            [k](QAction* item) {
                if (item) {
                    item->setCheckable(true);
                    item->setChecked(kit::UserDefaults::standard().boolValue(k));
                }
                return true;
            });
    }
    // Zoom changes this editor's text size only, a point at a time.
    registerAction(QStringLiteral("zoomIn:"), [this](QObject*) { zoomBy(1); }, [this](QAction*) { return font().pointSizeF() < MaximumZoomPointSize; });
    registerAction(QStringLiteral("zoomOut:"), [this](QObject*) { zoomBy(-1); }, [this](QAction*) { return font().pointSizeF() > MinimumZoomPointSize; });
    registerAction(QStringLiteral("checkSpelling:"), [this](QObject*) { checkSpelling(); });
    registerAction(QStringLiteral("showGuessPanel:"), [this](QObject*) { showGuessPanel(); });
    registerAction(
        QStringLiteral("shiftLeft:"), [this](QObject*) { shiftWithDirection(0); },
        [this](QAction*) { return isEditable(); });
    registerAction(
        QStringLiteral("shiftRight:"), [this](QObject*) { shiftWithDirection(1); },
        [this](QAction*) { return isEditable(); });

    updateTextColor();
    updateParagraphStyle();
    updateTextSettings();
    setAttribute(Qt::WA_OpaquePaintEvent, isOpaque());
}

void KELHTMLView::setDocument(KELHTMLViewDocument* document)
{
    m_document = document;
    setUndoManager(document ? document->documentUndoManager() : nullptr);
}

void KELHTMLView::endNotificationResponse()
{
    if (m_observerContext) {
        kit::NotificationCenter::defaultCenter().removeObservers(m_observerContext);
        delete m_observerContext;
        m_observerContext = nullptr;
    }
}

void KELHTMLView::setCodeCompletionKeyTarget(KELCodeCompletionKeyTarget* target) { g_completion = target; }

bool KELHTMLView::shouldForwardKeyEventToCodeCompletionController(const QKeyEvent* event) const
{
    if (!g_completion || !g_completion->isActive() || !event)
        return false;
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Return:
        return true;
    default:
        return false;
    }
}

void KELHTMLView::keyPressEvent(QKeyEvent* event)
{
    if (shouldForwardKeyEventToCodeCompletionController(event)) {
        g_completion->forwardKeyEvent(event);
        event->accept();
        return;
    }
    KELTextView::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Look

bool KELHTMLView::isOpaque() const { return backgroundColor().alphaF() == 1.0f; }

void KELHTMLView::updateTextColor()
{
    const QColor c = PreferenceController2::colorForKey(KELTextColorKey);
    if (!c.isValid())
        return;
    setTextColor(c);
    setInsertionPointColor(c);
}

void KELHTMLView::updateInsertionPointColor()
{
    const QColor c = PreferenceController2::colorForKey(KELTextColorKey);
    if (c.isValid())
        setInsertionPointColor(c);
}

QList<qreal> KELHTMLView::tabStopsForFont(const QFont& font)
{
    const qreal w = QFontMetricsF(font).horizontalAdvance(QLatin1Char('n'));
    TabStopCache& cache = tabStopCache();
    if (w != cache.width) {
        cache.width = w;
        cache.stops.clear();
        for (int k = 1; k <= 50; ++k)
            cache.stops.append(std::floor(k * 4 * w + 0.5));
    }
    return cache.stops;
}

void KELHTMLView::updateParagraphStyle()
{
    kit::LayoutManager* lm = layoutManager();
    const QFont f = font();
    const QList<qreal> stops = tabStopsForFont(f);
    if (lm->tabStops() != stops)
        lm->setTabStops(stops);
    const qreal distance = std::floor(4 * QFontMetricsF(f).horizontalAdvance(QLatin1Char('n')) + 0.5);
    if (lm->tabStopDistance() != distance)
        setTabStopDistance(distance);
    const int mode = int(kit::UserDefaults::standard().integerValue(KELWordWrapMode));
    if (wrapMode() != mode)
        setWrapMode(mode);
}

void KELHTMLView::zoomBy(int points)
{
    QFont f = font();
    f.setPointSizeF(std::clamp(f.pointSizeF() + points, MinimumZoomPointSize, MaximumZoomPointSize));
    setFont(f);
}

void KELHTMLView::setFont(const QFont& font)
{
    // Line heights change with the font, so the same scroll offset would show other text:
    // the line at the top of the view stays at the top.
    kit::ScrollView* scroll = enclosingScrollView();
    kit::LayoutManager* layout = layoutManager();
    qsizetype top = NotFound;
    if (scroll && layout && textStorage() && textStorage()->length() > 0 && scroll->verticalScrollBar()->value() > 0)
        top = layout->characterRangeForRect(visibleContainerRect()).location;
    kit::TextView::setFont(font);
    updateParagraphStyle();
    if (top == NotFound || top < 0)
        return;
    // Heights above are estimated until laid out: place the line, lay out what shows, place again.
    for (int pass = 0; pass < 2; ++pass) {
        const QRectF line = layout->caretRect(top);
        scroll->verticalScrollBar()->setValue(int(std::floor(line.top() + textContainerOrigin().y())));
        layout->ensureLayoutForRect(visibleContainerRect());
    }
}

void KELHTMLView::updateWordWrapForChange(bool change)
{
    if (change)
        updateParagraphStyle();
    const bool wrap = kit::UserDefaults::standard().boolValue(KELWordWrap);
    kit::ScrollView* scroll = enclosingScrollView();
    if (wrap && scroll)
        scroll->horizontalScrollBar()->setValue(0);
    setWrapsLines(wrap);
    if (scroll) {
        scroll->setHasHorizontalScroller(!wrap);
        scroll->tile();
    }
    update();
}

void KELHTMLView::updateTextSettings()
{
    // The substitutions change typing at once; the detectors have no Linux facility
    // and keep their settings only.
    const auto& defaults = kit::UserDefaults::standard();
    // Read-only views show generated code: marks there could never be acted on.
    setContinuousSpellCheckingEnabled(isEditable() && defaults.boolValue(KELCheckSpellingAsYouType));
    setAutomaticSpellingCorrectionEnabled(isEditable() && defaults.boolValue(KELAutomaticallyCorrectSpelling));
    setAutomaticQuoteSubstitutionEnabled(defaults.boolValue(KELSmartQuotes));
    setAutomaticDashSubstitutionEnabled(defaults.boolValue(KELSmartDashes));
    setSmartInsertDeleteEnabled(defaults.boolValue(KELSmartInsertDelete));
}

void KELHTMLView::setColor(const QColor& color, Range range)
{
    kit::TextStorage* storage = textStorage();
    // Colouring may run on ranges computed before an edit: keep them inside the text.
    if (range.location == NotFound || range.location < 0 || range.length <= 0)
        return;
    range = Range::intersection(range, Range(0, storage->length()));
    if (range.length <= 0)
        return;
    storage->addAttribute(kit::ForegroundColorAttributeName, color, range);
}

QRect KELHTMLView::cursorRectInScreenCoordinates() const
{
    QRectF r = layoutManager()->caretRect(selectedRange().location);
    if (r.isNull())
        r = QRectF(100, 100, 10, 10);
    else
        r = QRectF(documentPointToView(r.topLeft() + textContainerOrigin()), r.size());
    return QRect(mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
}

kit::UndoManager* KELHTMLView::editorUndoManager() const
{
    if (m_document && m_document->documentUndoManager())
        return m_document->documentUndoManager();
    return undoManager();
}

void KELHTMLView::setAttributedStringForUndo(const kit::AttributedString& text)
{
    kit::TextStorage* storage = textStorage();
    const kit::AttributedString current = storage->attributedSubstring(Range(0, storage->length()));
    if (kit::UndoManager* um = editorUndoManager()) {
        QPointer<KELHTMLView> self(this);
        um->registerUndo([self, current] {
            if (self)
                self->setAttributedStringForUndo(current);
        });
    }
    breakUndoCoalescing();
    storage->replaceCharacters(Range(0, storage->length()), text);
    setSelectedRange(Range(std::min(selectedRange().location, storage->length()), 0));
    didChangeText();
}

// ---------------------------------------------------------------------------------------------
// Typing

void KELHTMLView::insertText(const QString& text)
{
    if (m_document && !text.isEmpty() && !hasMarkedText() && !m_document->isTextEncodableForDocumentEncoding(text))
        breakUndoCoalescing();

    const Range sel = selectedRange();
    if (text == QLatin1String("\n") && sel.location != NotFound
        && kit::UserDefaults::standard().boolValue(KELAutoIndentAfterNewlineKey)) {
        // Only the caret's line is read: the whole text would close the storage's typing gap.
        const kit::TextStorage* storage = textStorage();
        const qsizetype caret = std::min(sel.location, storage->length());
        qsizetype lineStart = caret;
        while (lineStart > 0 && storage->characterAt(lineStart - 1) != QLatin1Char('\n'))
            --lineStart;
        const QString s = storage->substring(Range(lineStart, caret - lineStart));
        const QString unit = UtilityFunctions::indentSpacerSpring();
        QString indented = QStringLiteral("\n");
        qsizetype p = 0;
        while (!unit.isEmpty() && p + unit.size() <= s.size() && QStringView(s).mid(p, unit.size()) == unit) {
            indented += unit;
            p += unit.size();
        }
        KELTextView::insertText(indented);
    } else {
        KELTextView::insertText(text);
    }

    QVariantMap info;
    if (!text.isNull())
        info.insert(KELUserDidEnterTextInsertedString, text);
    kit::NotificationCenter::defaultCenter().post(KELUserDidEnterTextNotification, this, info);
}

void KELHTMLView::setMarkedText(const QString& text, Range selectedRange)
{
    // Text the document's encoding cannot hold becomes an undo step of its own.
    if (m_document && !text.isEmpty() && !m_document->isTextEncodableForDocumentEncoding(text))
        breakUndoCoalescing();
    KELTextView::setMarkedText(text, selectedRange);
}

void KELHTMLView::didChangeText()
{
    KELTextView::didChangeText();
    kit::NotificationCenter::defaultCenter().post(KELTextDidChangeNotification, this);
}

// ---------------------------------------------------------------------------------------------
// Edits made by the program

void KELHTMLView::replaceCharactersWithUndoInRange(
    Range range, const QString& string, Range newSelectedRange, Range, const QString& undoAction)
{
    kit::TextStorage* storage = textStorage();
    range = Range::intersection(range, Range(0, storage->length()));
    const qsizetype newLength = storage->length() - range.length + string.size();
    Range sel = newSelectedRange;
    if (sel.location == NotFound || sel.end() > newLength)
        sel = Range::intersection(sel.location == NotFound ? Range(0, 0) : sel, Range(0, newLength));
    breakUndoCoalescing();
    // The view's change approval records the undo; an edit it refuses is not made.
    if (replaceWithUndo(range, string, undoAction, sel) && !undoAction.isEmpty())
        if (kit::UndoManager* um = editorUndoManager())
            um->setActionName(undoAction);
}

Range KELHTMLView::selectionAfterEdit(Range sel, Range edit, qsizetype m, qsizetype textLength)
{
    // Both ends are carried across the edit; an end inside the replaced text goes to
    // the edit's start (selection start) or to the end of the new text (selection end).
    const qsizetype n = edit.length;
    auto mapStart = [&](qsizetype p) {
        if (p <= edit.location)
            return p;
        if (p >= edit.end())
            return p - n + m;
        return edit.location;
    };
    auto mapEnd = [&](qsizetype p) {
        if (p <= edit.location)
            return p;
        if (p >= edit.end())
            return p - n + m;
        return edit.location + m;
    };
    if (edit.location >= sel.end())
        return Range::intersection(sel, Range(0, textLength));
    qsizetype s = std::clamp<qsizetype>(mapStart(sel.location), 0, textLength);
    qsizetype e = std::clamp<qsizetype>(mapEnd(sel.end()), 0, textLength);
    if (e < s)
        e = s;
    return Range(s, e - s);
}

void KELHTMLView::replaceCharactersWithUndoInRange(Range range, const QString& string, bool updateSelection)
{
    kit::TextStorage* storage = textStorage();
    range = Range::intersection(range, Range(0, storage->length()));
    const Range old = selectedRange();
    const qsizetype newLength = storage->length() - range.length + string.size();
    const Range sel = updateSelection ? selectionAfterEdit(old, range, string.size(), newLength)
                                      : Range::intersection(old, Range(0, newLength));
    breakUndoCoalescing();
    replaceWithUndo(range, string, QString(), sel);
    update();
}

void KELHTMLView::insertUntypedString(const QString& string, const QString& undoAction, Range selectedRange)
{
    const Range sel = this->selectedRange();
    breakUndoCoalescing();
    const qsizetype newLength = textStorage()->length() - sel.length + string.size();
    if (replaceWithUndo(sel, string, undoAction, Range::intersection(selectedRange, Range(0, newLength)))
        && !undoAction.isEmpty())
        if (kit::UndoManager* um = editorUndoManager())
            um->setActionName(undoAction);
}

void KELHTMLView::insertUntypedString(const QString& string, const QString& undoAction)
{
    insertUntypedString(string, undoAction, Range(selectedRange().location + string.size(), 0));
}

QString KELHTMLView::indentedStringForString(const QString& string, qsizetype index) const
{
    if (!kit::UserDefaults::standard().boolValue(KELAutoIndentAfterNewlineKey))
        return string;
    const qsizetype level = baseIndentLevelAtIndex(textStorage()->string(), index);
    return indentedStringWithBaseIndentLevel(string, level);
}

// ---------------------------------------------------------------------------------------------
// Shifting

void KELHTMLView::applyEdits(QList<Edit> edits, const QString& actionName, const QList<Range>& selectionAfter)
{
    std::sort(
        edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.range.location < b.range.location; });
    kit::TextStorage* storage = textStorage();
    breakUndoCoalescing();
    // All edits are approved together (one refused leaves the text as it was) and applied
    // last first, so the earlier positions stay valid; their undo is one step.
    QList<Range> ranges;
    QStringList texts;
    for (const Edit& e : edits) {
        ranges.append(e.range);
        texts.append(e.text);
    }
    if (!ranges.isEmpty() && !shouldChangeTextInRanges(ranges, texts))
        return;
    storage->beginEditing();
    for (qsizetype i = edits.size() - 1; i >= 0; --i)
        storage->replaceCharacters(edits[i].range, edits[i].text);
    storage->endEditing();
    if (!actionName.isEmpty())
        if (kit::UndoManager* um = editorUndoManager())
            um->setActionName(actionName);
    QList<Range> clipped;
    for (const Range& r : selectionAfter)
        clipped.append(Range::intersection(r, Range(0, storage->length())));
    setSelectedRanges(clipped.isEmpty() ? QList<Range> { Range(0, 0) } : clipped);
    didChangeText();
}

Range KELHTMLView::shiftWithDirection(int direction, Range range, qsizetype* changeInLength, bool shiftFirstLine)
{
    // Used alone: shift one range's lines at once.
    const QString unit = UtilityFunctions::indentSpacerSpring();
    const QString& s = textStorage()->string();
    QList<Edit> edits;
    qsizetype lineStart = textStorage()->lineRange(Range(std::min(range.location, s.size()), 0)).location;
    bool first = true;
    for (;;) {
        if (!first && lineStart >= range.end())
            break;
        if (!(first && !shiftFirstLine)) {
            if (direction == 1)
                edits.append({ Range(lineStart, 0), unit });
            else if (QStringView(s).mid(lineStart, unit.size()) == unit && lineStart + unit.size() <= s.size())
                edits.append({ Range(lineStart, unit.size()), QString() });
        }
        first = false;
        if (lineStart >= s.size())
            break;
        const qsizetype next = textStorage()->lineRange(Range(lineStart, 0)).end();
        if (next <= lineStart)
            break;
        lineStart = next;
    }
    Range adjusted = range;
    qsizetype change = 0;
    for (qsizetype i = edits.size() - 1; i >= 0; --i) {
        const Edit& e = edits[i];
        const qsizetype d = e.text.size() - e.range.length;
        const Range inter = Range::intersection(adjusted, e.range);
        const bool meets
            = inter.length > 0 || (e.range.location >= adjusted.location && e.range.location < adjusted.end());
        if (!meets) {
            if (e.range.end() <= adjusted.location)
                adjusted.location += d;
        } else {
            adjusted.length = adjusted.length - inter.length + e.text.size();
        }
        change += d;
    }
    if (changeInLength)
        *changeInLength += change;
    if (!edits.isEmpty())
        applyEdits(edits, QString(), { adjusted });
    return adjusted;
}

void KELHTMLView::shiftWithDirection(int direction)
{
    const QString unit = UtilityFunctions::indentSpacerSpring();
    const QString& s = textStorage()->string();
    const QList<Range> ranges = selectedRanges().isEmpty() ? QList<Range> { Range(0, 0) } : selectedRanges();
    QList<Edit> edits;
    QSet<qsizetype> shifted; // a line two ranges share is shifted once
    for (const Range& range : ranges) {
        qsizetype lineStart = textStorage()->lineRange(Range(std::min(range.location, s.size()), 0)).location;
        bool first = true;
        for (;;) {
            if (!first && lineStart >= range.end())
                break;
            first = false;
            if (!shifted.contains(lineStart)) {
                shifted.insert(lineStart);
                if (direction == 1)
                    edits.append({ Range(lineStart, 0), unit });
                else if (lineStart + unit.size() <= s.size() && QStringView(s).mid(lineStart, unit.size()) == unit)
                    edits.append({ Range(lineStart, unit.size()), QString() });
            }
            if (lineStart >= s.size())
                break;
            const qsizetype next = textStorage()->lineRange(Range(lineStart, 0)).end();
            if (next <= lineStart)
                break;
            lineStart = next;
        }
    }
    if (edits.isEmpty())
        return;
    if (!isEditable())
        return;
    // Each range carried across every edit, last edit first.
    std::sort(
        edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.range.location < b.range.location; });
    QList<Range> after;
    for (Range adjusted : ranges) {
        for (qsizetype i = edits.size() - 1; i >= 0; --i) {
            const Edit& e = edits[i];
            const qsizetype d = e.text.size() - e.range.length;
            const Range inter = Range::intersection(adjusted, e.range);
            const bool emptyMeet
                = inter.length == 0 && (e.range.location < adjusted.location || e.range.location >= adjusted.end());
            if (emptyMeet) {
                if (e.range.end() <= adjusted.location)
                    adjusted.location += d;
            } else {
                adjusted.length = std::max<qsizetype>(0, adjusted.length - inter.length + e.text.size());
            }
        }
        after.append(adjusted);
    }
    applyEdits(edits, direction == 1 ? tr("Shift Right") : tr("Shift Left"), after);
}

// ---------------------------------------------------------------------------------------------
// Selection, brackets and spelling

Range KELHTMLView::selectionRangeForProposedRange(Range proposed, kit::SelectionGranularity granularity)
{
    if (m_document) {
        const Range r = m_document->textViewSelectionRangeForProposedRange(this, proposed, granularity);
        if (r.location != NotFound)
            return r;
    }
    return KELTextView::selectionRangeForProposedRange(proposed, granularity);
}

bool KELHTMLView::shouldSetSpellingState(Range range, int state)
{
    // A placeholder or a fold shows as one bubble: a mark there would underline the bubble.
    if (state != 0 && rangeTouchesToken(range))
        return false;
    if (m_document)
        return m_document->textViewShouldSetSpellingState(this, state, range) != 0;
    return state != 0;
}

QList<Range> KELHTMLView::checkSpellingOfRange(Range range)
{
    QList<Range> out;
    // Spelling is checked on the visible lines after each keystroke: read those, not
    // the whole text (which would make the storage close its typing gap).
    const kit::TextStorage* storage = textStorage();
    const qsizetype n = storage->length();
    range = Range::intersection(range, Range(0, n));
    if (range.length <= 0)
        return out;
    // End the range at a word boundary so a word is never checked as a fragment.
    qsizetype end = range.end();
    while (end < n && (storage->characterAt(end).isLetter() || storage->characterAt(end) == QLatin1Char('\'')))
        ++end;
    qsizetype start = range.location;
    while (start > 0 && storage->characterAt(start - 1).isLetter())
        --start;
    // With the character before the first word, which tells an entity name ("&amp;").
    const qsizetype from = std::max<qsizetype>(0, start - 1);
    const QString s = storage->substring(Range(from, end - from));
    kit::SpellChecker& checker = kit::SpellChecker::sharedSpellChecker();
    for (const kit::TextCheckingResult& r : checker.checkString(
             s, Range(start - from, end - start), kit::TextCheckingTypeSpelling, spellCheckerDocumentTag(), nullptr))
        out.append(Range(r.range.location + from, r.range.length));
    return out;
}

bool KELHTMLView::checkSpelling()
{
    kit::SpellChecker& checker = kit::SpellChecker::sharedSpellChecker();
    const QString& s = textStorage()->string();
    qsizetype from = selectedRange().end();
    // Skip what the document says is not text (markup, scripts) and go on after it.
    const qsizetype origin = from;
    bool wrapped = false;
    for (int guard = 0; guard < 100000; ++guard) {
        const Range r
            = checker.checkSpellingOfString(s, from, checker.language(), true, spellCheckerDocumentTag(), nullptr);
        if (r.location == NotFound)
            break;
        if (!m_document || m_document->textViewShouldSetSpellingState(this, 1, r) != 0) {
            setSelectedRange(r);
            scrollRangeToVisible(r);
            return true;
        }
        if (r.end() <= from)
            wrapped = true;
        from = r.end();
        if (wrapped && from >= origin)
            break;
    }
    QApplication::beep();
    return false;
}

void KELHTMLView::showGuessPanel()
{
    static QPointer<kit::GuessDialog> dialog;
    if (!dialog) {
        dialog = new kit::GuessDialog(window());
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    QPointer<KELHTMLView> self(this);
    auto showNext = [self] {
        if (!self || !dialog)
            return;
        const bool found = self->checkSpelling();
        dialog->showWord(found
                ? self->textStorage()->string().mid(self->selectedRange().location, self->selectedRange().length)
                : QString(),
            kit::SpellChecker::sharedSpellChecker());
    };
    dialog->onFindNext = showNext;
    dialog->onChange = [self, showNext](const QString& replacement) {
        if (!self)
            return;
        self->insertUntypedString(replacement, QObject::tr("Spelling Change"));
        showNext();
    };
    dialog->onIgnore = [self, showNext](const QString& word) {
        if (!self)
            return;
        kit::SpellChecker::sharedSpellChecker().ignoreWord(word, self->spellCheckerDocumentTag());
        showNext();
    };
    dialog->onLearn = [showNext](const QString& word) {
        kit::SpellChecker::sharedSpellChecker().learnWord(word);
        showNext();
    };
    showNext();
    dialog->show();
    dialog->raise();
}

Range KELHTMLView::bracketPairRangeAtIndex(qsizetype index) const
{
    // Read by character: the whole string would make the storage close its typing gap.
    const kit::TextStorage& s = *textStorage();
    if (index < 0 || index >= s.length())
        return Range(NotFound, 0);
    static const QString opening = QStringLiteral("(<[{");
    static const QString closing = QStringLiteral(")>]}");
    const QChar c = s.characterAt(index);
    if (const qsizetype k = opening.indexOf(c); k >= 0) {
        const QChar partner = closing.at(k);
        int depth = 1;
        for (qsizetype i = index + 1; i < s.length(); ++i) {
            if (s.characterAt(i) == c)
                ++depth;
            else if (s.characterAt(i) == partner && --depth == 0)
                return Range(index, i - index + 1);
        }
        return Range(index, s.length() - index);
    }
    if (const qsizetype k = closing.indexOf(c); k >= 0) {
        if (index == 0)
            return Range(0, 1);
        const QChar partner = opening.at(k);
        int depth = 1;
        for (qsizetype i = index - 1; i >= 0; --i) {
            if (s.characterAt(i) == c)
                ++depth;
            else if (s.characterAt(i) == partner && --depth == 0)
                return Range(i, index - i + 1);
        }
        return Range(0, index + 1);
    }
    return Range(NotFound, 0);
}

void KELHTMLView::mouseDown(QMouseEvent* event)
{
    KELTextView::mouseDown(event);
    if (event->button() != Qt::LeftButton || clickCount() != 2)
        return;
    const qsizetype index = characterIndexForPoint(viewPointToDocument(event->position()));
    const Range pair = bracketPairRangeAtIndex(index);
    if (pair.location != NotFound)
        setSelectedRange(pair);
}
