#pragma once
// The editor view of every text document and of the other editable HTML panes: its
// look from the user's colour and wrapping settings, auto-indent after a newline,
// shifting lines by one indent unit, the undoable edits through which every change
// made by the program goes, bracket-pair selection on double click, forwarding of
// navigation keys to an open completion list, spelling that skips markup, and the
// notifications that colouring and completion follow.

#include "support/Notifications.h"
#include "editor/KELTextView.h"
#include "kit/Types.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <functional>
#include <optional>

namespace kit {
class UndoManager;
}
class KELHTMLView;
class QDialog;
class QKeyEvent;
class Tag;
class TagAttribute;

inline const QString KELTextViewDidMoveToWindowNotification = QStringLiteral("KELTextViewDidMoveToWindowNotification");

/// What the view asks of the document that owns it.
class KELHTMLViewDocument
{
public:
    virtual ~KELHTMLViewDocument() = default;
    virtual kit::UndoManager* documentUndoManager() = 0;
    virtual bool isTextEncodableForDocumentEncoding(const QString& text) = 0;
    /// Where misspelling marks may appear: the state for a range (0: none).
    virtual int textViewShouldSetSpellingState(KELHTMLView* view, int state, kit::Range range) = 0;
    /// A grown word selection inside markup, or (NotFound, 0) to keep the proposal.
    virtual kit::Range textViewSelectionRangeForProposedRange(
        KELHTMLView* view, kit::Range proposed, kit::SelectionGranularity granularity)
        = 0;
};

/// The code-completion list, while it is shown, takes the navigation keys.
class KELCodeCompletionKeyTarget
{
public:
    virtual ~KELCodeCompletionKeyTarget() = default;
    virtual bool isActive() const = 0;
    virtual void forwardKeyEvent(QKeyEvent* event) = 0;
};

class KELHTMLView : public KELTextView
{
    Q_OBJECT
public:
    explicit KELHTMLView(QWidget* parent = nullptr);
    ~KELHTMLView() override;

    KELHTMLViewDocument* document() const { return m_document; }
    void setDocument(KELHTMLViewDocument* document);
    /// Stops following the broadcasts (the document calls it when it goes away).
    void endNotificationResponse();

    static void setCodeCompletionKeyTarget(KELCodeCompletionKeyTarget* target);
    bool shouldForwardKeyEventToCodeCompletionController(const QKeyEvent* event) const;

    // --- Look.
    bool isOpaque() const;
    void updateTextColor();
    void updateInsertionPointColor();
    /// Tab stops every four "n" widths of the font (50 of them) and the wrapping mode.
    void updateParagraphStyle();
    static QList<qreal> tabStopsForFont(const QFont& font);
    void setFont(const QFont& font);
    /// Zoom In and Zoom Out: the text size by whole points, within the bounds.
    static constexpr qreal MinimumZoomPointSize = 6;
    static constexpr qreal MaximumZoomPointSize = 72;
    void zoomBy(int points);
    void updateWordWrapForChange(bool change);
    void updateTextSettings();
    int spellCheckerDocumentTag() const { return 1; }
    /// Colouring without undo; the range is clipped to the text.
    void setColor(const QColor& color, kit::Range range);
    QRect cursorRectInScreenCoordinates() const override;
    kit::UndoManager* editorUndoManager() const;
    /// Replaces the whole text, undoably.
    void setAttributedStringForUndo(const kit::AttributedString& text);

    // --- Typing.
    void insertText(const QString& text) override;
    void setMarkedText(const QString& text, kit::Range selectedRange) override;
    void didChangeText() override;

    // --- Edits made by the program, all undoable.
    void replaceCharactersWithUndoInRange(kit::Range range, const QString& string, kit::Range newSelectedRange,
        kit::Range undoSelectedRange, const QString& undoAction);
    void replaceCharactersWithUndoInRange(kit::Range range, const QString& string, bool updateSelection);
    void replaceCharactersWithUndoInRange(kit::Range range, const QString& string)
    {
        replaceCharactersWithUndoInRange(range, string, true);
    }
    void insertUntypedString(const QString& string, const QString& undoAction, kit::Range selectedRange);
    void insertUntypedString(const QString& string, const QString& undoAction);
    QString indentedStringForString(const QString& string, qsizetype index) const override;
    void replaceTextForCompletion(kit::Range range, const QString& text, kit::Range selection) override
    {
        replaceCharactersWithUndoInRange(range, text, selection, range, QStringLiteral("Completion"));
    }
    /// The selection {s, l} carried across the replacement of edit by newLength characters.
    static kit::Range selectionAfterEdit(
        kit::Range selection, kit::Range edit, qsizetype newLength, qsizetype textLength);

    // --- Shifting (0 left, 1 right).
    void shiftWithDirection(int direction);
    kit::Range shiftWithDirection(int direction, kit::Range range, qsizetype* changeInLength, bool shiftFirstLine);

    // --- Selection and spelling.
    kit::Range selectionRangeForProposedRange(kit::Range proposed, kit::SelectionGranularity granularity) override;
    bool shouldSetSpellingState(kit::Range range, int state) override;
    /// Context menu: the guesses, Ignore and Learn for a misspelled word at index.
    void addSpellingItems(QMenu* menu, qsizetype index);
    QList<kit::Range> checkSpellingOfRange(kit::Range range) override;
    /// Selects the next misspelled word after the selection (wrapping); false when none.
    bool checkSpelling();
    void showGuessPanel();
    /// The range a double click at index selects when it hits a bracket; NotFound otherwise.
    kit::Range bracketPairRangeAtIndex(qsizetype index) const;

    // --- Tag editing, code clips, paste and drops (KELHTMLViewTagEditing.cpp).
    /// The start tag ("<" through ">") around the index, or NotFound.
    kit::Range indexLiesInTag(qsizetype index) const;
    bool canStartTagEdit() const;
    void startTagEdit();
    void startTagEditWithIndex(qsizetype index);
    QString tagStringForTagRange(kit::Range range) const;
    QList<TagAttribute> attributesInRange(kit::Range range, const Tag& tag, bool* selfClosing) const;
    static qsizetype shouldAddString(const QString& name, const Tag& tag);
    /// The Edit Tag panel's confirming and dismissing actions.
    void editTag();
    void endSheet();
    QDialog* editTagPanel() const { return m_editTagPanel; }
    void insertCodeClipContent(const std::optional<QString>& content, bool forceSelectionToEnd);
    bool canReadMimeData(const QMimeData* data) const override;
    bool readSelectionFromMimeData(const QMimeData* data) override;
    bool performDrop(const QMimeData* data, qsizetype index, bool moveFromSelf) override;
    QMenu* menuForEvent(QContextMenuEvent* event) override;
    /// The file of the document shown (empty: none yet); tests may replace the lookup.
    QString documentFilePath() const;
    static void setDocumentFilePathProviderForTesting(std::function<QString(const KELHTMLView*)> provider);

protected:
    void mouseDown(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Edit
    {
        kit::Range range;
        QString text;
    };
    /// Applies edits (non-overlapping) as one undo step, last first.
    void applyEdits(QList<Edit> edits, const QString& actionName, const QList<kit::Range>& selectionAfter);
    void setupView();

    void setupTagEditing();

    KELHTMLViewDocument* m_document = nullptr;
    QObject* m_observerContext = nullptr;
    QPointer<QDialog> m_editTagPanel;
    kit::Range m_editTagRange;
    bool m_editTagSelfClosing = false;
    qint64 m_editCount = 0;
};
