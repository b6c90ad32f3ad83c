#pragma once
// The editing view over a TextStorage and its LayoutManager.
//
// The view is normally the document view of a ScrollView (its viewport); alone it
// shows the top of the text. Commands are virtual so subclasses can wrap them.

#include "kit/Responder.h"
#include "kit/Types.h"
#include "kit/text/LayoutManager.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QMimeData;

namespace kit {

class ScrollView;
class TextStorage;
class UndoManager;

enum class SelectionGranularity { Character, Word, Paragraph };

inline const QString TextViewDidChangeSelectionNotification = QStringLiteral("NSTextViewDidChangeSelectionNotification");
inline const QString TextDidChangeNotification = QStringLiteral("NSTextDidChangeNotification");

class TextView : public QWidget, public Responder {
    Q_OBJECT
public:
    explicit TextView(QWidget* parent = nullptr);
    ~TextView() override;

    // --- Model and layout.
    TextStorage* textStorage() const { return m_storage; }
    /// Shows another storage (not owned unless its parent is this view).
    virtual void setTextStorage(TextStorage* storage);
    LayoutManager* layoutManager() const { return m_layout; }
    /// Installs a layout manager (the view becomes its parent).
    void replaceLayoutManager(LayoutManager* lm);
    ScrollView* enclosingScrollView() const;

    QString string() const;
    void setString(const QString& text);

    // --- Appearance.
    void setFont(const QFont& font);
    QFont font() const;
    void setTextColor(const QColor& c);
    QColor textColor() const { return m_textColor; }
    virtual void setBackgroundColor(const QColor& c);
    QColor backgroundColor() const { return m_backgroundColor; }
    void setDrawsBackground(bool on) { m_drawsBackground = on; update(); }
    bool drawsBackground() const { return m_drawsBackground; }
    void setInsertionPointColor(const QColor& c) { m_insertionColor = c; update(); }
    QColor insertionPointColor() const { return m_insertionColor; }
    void setSelectedTextBackgroundColor(const QColor& c) { m_selectionColor = c; update(); }
    QColor selectedTextBackgroundColor() const { return m_selectionColor; }
    void setTextContainerInset(const QSizeF& inset);
    QSizeF textContainerInset() const { return m_inset; }
    /// Origin of the text container in view (document) coordinates.
    QPointF textContainerOrigin() const { return QPointF(m_inset.width(), m_inset.height()); }
    void setWrapsLines(bool on);
    bool wrapsLines() const { return m_wraps; }
    /// 0 word wrapping, 1 character wrapping.
    void setWrapMode(int mode);
    int wrapMode() const { return m_wrapModeSetting; }
    void setTabStopDistance(qreal d);

    void setEditable(bool on) { m_editable = on; }
    bool isEditable() const { return m_editable; }
    void setSelectable(bool on) { m_selectable = on; }
    bool isSelectable() const { return m_selectable; }
    void setFieldEditor(bool on) { m_fieldEditor = on; }
    bool isFieldEditor() const { return m_fieldEditor; }

    // --- Selection. The programmatic setters run no hooks; user actions go through
    // setSelectedRangesFromUser, which asks selectionRangeForProposedRange and
    // willChangeSelection first.
    Range selectedRange() const { return m_selection.isEmpty() ? Range(0, 0) : m_selection.first(); }
    const QList<Range>& selectedRanges() const { return m_selection; }
    SelectionAffinity selectionAffinity() const { return m_affinity; }
    SelectionGranularity selectionGranularity() const { return m_granularity; }
    virtual void setSelectedRange(Range range);
    virtual void setSelectedRanges(const QList<Range>& ranges);
    virtual void setSelectedRanges(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting);
    void setSelectedRangesFromUser(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting);
    /// Re-applies the current selection through the base setter.
    void reapplySelection(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting);
    // Hooks.
    virtual QList<Range> willChangeSelection(const QList<Range>& oldRanges, const QList<Range>& proposed);
    virtual Range selectionRangeForProposedRange(Range proposed, SelectionGranularity granularity);
    Range wordRangeAt(qsizetype index) const;

    // --- Geometry.
    QRectF visibleRect() const;
    /// Visible rect in text-container coordinates.
    QRectF visibleContainerRect() const;
    virtual qsizetype characterIndexForInsertionAtPoint(const QPointF& viewPoint);
    virtual qsizetype characterIndexForPoint(const QPointF& viewPoint);
    QPointF viewPointToDocument(const QPointF& widgetPoint) const;
    QPointF documentPointToView(const QPointF& documentPoint) const;
    QRectF caretRect() const;
    void scrollRangeToVisible(Range range);
    void scrollRectToVisible(const QRectF& documentRect);
    qreal documentHeight() const;
    /// Rectangle of a range (first line of it for several lines) in widget coordinates.
    QRectF firstRectForCharacterRange(Range range) const;
    /// The same in screen coordinates (for popups placed at the caret).
    QRect screenRectForCharacterRange(Range range) const;

    // --- Commands (Linux key bindings map to these).
    virtual void moveLeft();
    virtual void moveRight();
    virtual void moveUp();
    virtual void moveDown();
    virtual void moveBackward() { moveLeft(); }
    virtual void moveForward() { moveRight(); }
    virtual void moveWordLeft();
    virtual void moveWordRight();
    virtual void moveToBeginningOfLine();
    virtual void moveToEndOfLine();
    virtual void moveToBeginningOfDocument();
    virtual void moveToEndOfDocument();
    virtual void pageUp();
    virtual void pageDown();
    virtual void moveLeftAndModifySelection();
    virtual void moveRightAndModifySelection();
    virtual void moveUpAndModifySelection();
    virtual void moveDownAndModifySelection();
    virtual void moveWordLeftAndModifySelection();
    virtual void moveWordRightAndModifySelection();
    virtual void moveToBeginningOfLineAndModifySelection();
    virtual void moveToEndOfLineAndModifySelection();
    virtual void moveToBeginningOfDocumentAndModifySelection();
    virtual void moveToEndOfDocumentAndModifySelection();
    virtual void pageUpAndModifySelection();
    virtual void pageDownAndModifySelection();
    virtual void deleteBackward();
    virtual void deleteForward();
    virtual void deleteWordBackward();
    virtual void deleteWordForward();
    virtual void insertText(const QString& text);
    virtual void insertNewline();
    virtual void insertTab();
    virtual void insertBacktab() {}
    virtual void selectAll();
    virtual void cut();
    virtual void copy();
    virtual void paste();
    /// The Delete menu command: removes the selection, copying nothing.
    virtual void deleteSelection();
    /// Middle click: inserts the primary selection (the text last selected
    /// anywhere) at the index, which becomes the caret.
    void pastePrimarySelection(qsizetype index);
    virtual void undo();
    virtual void redo();
    virtual void cancelOperation() {}

    // --- Editing with change approval and undo.
    /// Approves a change (no when not editable) and registers its undo, as typing when
    /// it comes from typing; call storage edits between this and didChangeText().
    virtual bool shouldChangeTextInRange(Range range, const QString& replacement);
    /// Approves several changes at once, all or none (ranges in the text before any of them,
    /// in text order, not overlapping), and registers their undo; the caller then applies
    /// them last first.
    bool shouldChangeTextInRanges(const QList<Range>& ranges, const QStringList& replacements);
    /// Whether a change may happen (no when not editable); records nothing. Subclasses
    /// that refuse changes refuse them here.
    virtual bool mayChangeTextInRange(Range range, const QString& replacement) const;
    virtual void didChangeText();
    /// Replaces with undo; the selection afterwards is a caret after the new text unless given.
    bool replaceWithUndo(Range range, const QString& text, const QString& actionName = QString(),
                         std::optional<Range> selectionAfter = std::nullopt);
    void breakUndoCoalescing();
    bool isCoalescingUndo() const { return bool(m_typing); }
    UndoManager* undoManager() const;
    /// Uses the document's undo manager instead of the view's own.
    void setUndoManager(UndoManager* manager);
    void setAllowsUndo(bool on) { m_allowsUndo = on; }

    // --- Input methods (marked text lives in the storage, as typed text does).
    virtual void setMarkedText(const QString& text, Range selectedRange);
    virtual void unmarkText();
    bool hasMarkedText() const { return m_markedRange.length > 0; }
    Range markedRange() const { return m_markedRange; }
    /// Ends a composition keeping its text as typed (undoable) text; the input method is reset.
    void commitMarkedText();

    // --- Clipboard and drag and drop.
    virtual QMimeData* mimeDataForRanges(const QList<Range>& ranges) const;
    /// Inserts what the data holds in place of the selection; false when nothing usable.
    /// The text a paste or drop inserts: file URLs as their paths, else the plain text.
    static QString plainTextFromMimeData(const QMimeData* data);
    virtual bool readSelectionFromMimeData(const QMimeData* data);
    virtual bool canReadMimeData(const QMimeData* data) const;
    /// Drop of data at a character index; move is set for a move within this view.
    virtual bool performDrop(const QMimeData* data, qsizetype index, bool moveFromSelf);

    // --- Text substitutions (all off by default).
    void setAutomaticQuoteSubstitutionEnabled(bool on) { m_smartQuotes = on; }
    bool isAutomaticQuoteSubstitutionEnabled() const { return m_smartQuotes; }
    void setAutomaticDashSubstitutionEnabled(bool on) { m_smartDashes = on; }
    bool isAutomaticDashSubstitutionEnabled() const { return m_smartDashes; }
    void setSmartInsertDeleteEnabled(bool on) { m_smartInsertDelete = on; }
    bool smartInsertDeleteEnabled() const { return m_smartInsertDelete; }
    void setAutomaticSpellingCorrectionEnabled(bool on) { m_autoCorrect = on; }
    bool isAutomaticSpellingCorrectionEnabled() const { return m_autoCorrect; }
    /// The first suggestion for a misspelled word (empty: the word stands).
    virtual QString correctionForWord(const QString& word, Range range);
    /// Smart insert: the text to paste at range, with a space added against adjacent words.
    QString smartInsertString(const QString& text, Range range) const;
    /// Smart delete: the range to delete for a word selection, with one adjoining space.
    Range smartDeleteRange(Range range) const;

    // --- Spelling.
    virtual bool shouldSetSpellingState(Range range, int state);
    void setSpellingState(int state, Range range);
    const QList<Range>& misspelledRanges() const { return m_misspelled; }
    void setContinuousSpellCheckingEnabled(bool on);
    bool isContinuousSpellCheckingEnabled() const { return m_continuousSpelling; }
    /// Checks a range on idle; answers the misspelled ranges (none by default).
    virtual QList<Range> checkSpellingOfRange(Range range);
    /// A check of the edited text waits for typing to pause.
    bool isSpellingScheduled() const { return m_spellTimer.isActive(); }

    // --- Find indicator.
    void showFindIndicatorForRange(Range range);
    Range findIndicatorRange() const { return m_findIndicator; }

    // --- Validation and context menu.
    virtual bool validateUserInterfaceItem(const QString& action) const;
    virtual QMenu* menuForEvent(QContextMenuEvent* event);

    // --- Drawing hooks.
    virtual void drawViewBackgroundInRect(QPainter* painter, const QRectF& rect);
    virtual void drawInsertionPoint(QPainter* painter, const QRectF& rect, const QColor& color, bool turnedOn);
    /// After the text, in widget coordinates.
    virtual void drawOverlay(QPainter*) {}
    bool isFirstResponder() const { return hasFocus(); }
    bool isFirstResponderInKeyWindow() const;

    int clickCount() const { return m_clickCount; }
    QSize sizeHint() const override { return QSize(400, 300); }

Q_SIGNALS:
    void textDidChange();
    void selectionDidChange();
    void didMoveToWindow();
    void focusChanged(bool focused);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    /// The base mouse-down handling (click count in clickCount()).
    virtual void mouseDown(QMouseEvent* event);
    /// Selection for a drag from the anchor to index with the current granularity.
    Range rangeForDrag(qsizetype index) const;
    qsizetype selectionHead() const { return m_head; }
    qsizetype selectionAnchor() const { return m_anchor; }
    void moveTo(qsizetype index, bool extend, SelectionAffinity affinity = SelectionAffinity::Downstream);
    qsizetype wordLeftIndex(qsizetype from) const;
    qsizetype wordRightIndex(qsizetype from) const;
    qsizetype verticalTarget(bool down, qreal distance);
    void updateDocumentSize();
    void updateContainerWidth();
    void insertTyped(const QString& text);

private:
    friend class ScrollView;
    friend class TextViewAccessible;
    void connectLayout();
    /// Follows the storage's edits (selection upkeep, accessibility events).
    void connectStorage();
    // Accessibility events (TextViewAccessible.cpp); each does nothing unless an
    // assistive technology listens.
    void accessibleCharactersWillChange(Range range);
    void accessibleCharactersChanged(Range range, qsizetype delta);
    void accessibleSelectionChanged();
    void adjustRangesForEdit(Range range, qsizetype delta);
    void autoScrollTick();
    void blink();
    void resetBlink();
    /// Notes a band of the container to repaint; the repaint is asked for once the edit
    /// that caused it is over (see flushDisplay).
    void displayBand(qreal top, qreal bottom);
    /// Lays out the visible paragraphs that changed, so that one that grew or shrank
    /// moves what is below it in the same frame, then asks for the noted bands.
    void flushDisplay();
    void updateScrollBars();
    void scheduleSpelling();
    void runSpelling();
    void deleteRangeForCommand(Range range, const QString& action);
    void exportPrimarySelection();
    void registerUndoForChange(Range range, const QString& replacement);
    void replaceMarkedText(Range range, const QString& text);
    /// Forgets the marked range (its text was edited from elsewhere) and resets the input method.
    void abandonComposition();
    bool m_typingChange = false;
    int m_ownEdit = 0;
    bool m_smartQuotes = false;
    bool m_smartDashes = false;
    bool m_smartInsertDelete = false;
    bool m_autoCorrect = false;
    void applySelection(const QList<Range>& ranges, SelectionAffinity affinity, bool stillSelecting, bool userDriven);

    TextStorage* m_storage = nullptr;
    LayoutManager* m_layout = nullptr;
    QPointer<ScrollView> m_scrollView;
    QPointer<UndoManager> m_externalUndo;
    UndoManager* m_ownUndo = nullptr;
    bool m_allowsUndo = true;

    QList<Range> m_selection;
    SelectionAffinity m_affinity = SelectionAffinity::Downstream;
    SelectionGranularity m_granularity = SelectionGranularity::Character;
    qsizetype m_anchor = 0;
    qsizetype m_head = 0;
    qreal m_goalX = -1;

    QColor m_textColor = Qt::black;
    QColor m_backgroundColor = Qt::white;
    QColor m_insertionColor = Qt::black;
    QColor m_selectionColor = QColor(181, 213, 255);
    bool m_drawsBackground = true;
    QSizeF m_inset = QSizeF(0, 0);
    bool m_wraps = true;
    int m_wrapModeSetting = 0;
    bool m_editable = true;
    bool m_selectable = true;
    bool m_fieldEditor = false;

    // Typing coalescing: the typed run [location, location + newLength) replaced oldText.
    struct TypingRecord {
        qsizetype location = 0;
        qsizetype newLength = 0;
        QString oldText;
        QList<Range> selectionBefore;
    };
    std::shared_ptr<TypingRecord> m_typing;

    Range m_markedRange = Range(NotFound, 0);
    bool m_settingMarked = false;

    // Mouse.
    int m_clickCount = 0;
    QElapsedTimer m_lastClick;
    QPointF m_lastClickPos;
    bool m_mouseSelecting = false;
    qsizetype m_dragAnchorStart = 0;
    qsizetype m_dragAnchorEnd = 0;
    bool m_dragCandidate = false;
    QPointF m_pressPos;
    QTimer m_autoScroll;
    QPoint m_lastMousePos;
    qsizetype m_dropCaret = NotFound;
    bool m_draggingFromSelf = false;
    bool m_droppedInSelf = false;

    QTimer m_blinkTimer;
    bool m_caretOn = true;
    // Bands waiting for flushDisplay (container coordinates).
    qreal m_bandTop = 0;
    qreal m_bandBottom = -1;
    bool m_flushPosted = false;
    bool m_flushing = false;

    QList<Range> m_misspelled;
    bool m_continuousSpelling = false;
    QTimer m_spellTimer;
    Range m_spellDirty = Range(NotFound, 0);

    Range m_findIndicator = Range(NotFound, 0);
    QTimer m_findTimer;

    // What assistive technology was last told: the caret, the selection, and the text a
    // replacement is about to remove.
    qsizetype m_accessibleCaret = -1;
    Range m_accessibleSelection = Range(0, 0);
    QString m_accessibleRemoved;
};

} // namespace kit
