#pragma once
// Base class of the editor's text views: keeps placeholder and fold tokens whole under
// selection, movement, deletion and clicks, and offers the folding commands.

#include "kit/text/TextStorage.h"
#include "syntax/KELSyntaxTextView.h"

class KELLayoutManager;

class KELTextView : public KELSyntaxTextView, public kit::TextStorageDelegate {
    Q_OBJECT
public:
    explicit KELTextView(QWidget* parent = nullptr);
    ~KELTextView() override;

    KELLayoutManager* editorLayoutManager() const;
    void setTextStorage(kit::TextStorage* storage) override;

    // Token upkeep.
    void textStorageDidProcessEditing(kit::TextStorage* storage) override;
    void updateTokens();
    bool isTokenAtCharacterIndex(qsizetype index) const;
    /// Whether a character of the range belongs to a placeholder or a fold.
    bool rangeTouchesToken(kit::Range range) const;
    kit::Range normalizedCharacterRangeForRange(kit::Range range) const { return normalizedCharacterRangeForRange(range, 0); }
    kit::Range normalizedCharacterRangeForRange(kit::Range range, int movement) const;
    void normalizeSelection();
    int currentMovement() const { return m_currentMovement; }

    // Visible area.
    kit::Range visibleRange() override;
    void layoutVisibleText() override;
    void setInvalidateDisplayOnlyForAttributeChange(bool on) override;

    // Selection.
    QList<kit::Range> willChangeSelection(const QList<kit::Range>& oldRanges, const QList<kit::Range>& proposed) override;
    kit::Range selectionRangeForProposedRange(kit::Range proposed, kit::SelectionGranularity granularity) override;
    qsizetype characterIndexForInsertionAtPoint(const QPointF& viewPoint) override;
    void setSelectedRange(kit::Range range) override;
    void setSelectedRanges(const QList<kit::Range>& ranges) override;
    void setSelectedRanges(const QList<kit::Range>& ranges, kit::SelectionAffinity affinity, bool stillSelecting) override;
    void setSpellChecking(bool on) { m_isSpellChecking = on; }
    bool isSpellChecking() const { return m_isSpellChecking; }

    // Movement and deletion.
    void moveLeft() override;
    void moveWordLeft() override;
    void moveWordRight() override;
    void moveUp() override;
    void moveBackward() override;
    void moveLeftAndModifySelection() override;
    void moveRightAndModifySelection() override;
    void moveWordLeftAndModifySelection() override;
    void moveWordRightAndModifySelection() override;
    void deleteBackward() override;
    void deleteForward() override;
    void deleteWordBackward() override;
    void deleteWordForward() override;

    // Folding.
    void foldTextInRange(kit::Range range);
    void unfoldTextInRange(kit::Range range);
    void foldSelection();
    void unfoldSelection();
    void unfoldAll();
    bool validateUserInterfaceItem(const QString& action) const override;
    QMenu* menuForEvent(QContextMenuEvent* event) override;

    // Hint and drawing.
    QString placeholderText() const { return m_placeholderText; }
    /// The hint shows while the view is empty, editable and not focused.
    bool showsPlaceholderText() const;
    void setPlaceholderText(const QString& text);
    void drawOverlay(QPainter* painter) override;
    void drawViewBackgroundInRect(QPainter* painter, const QRectF& rect) override;
    void drawInsertionPoint(QPainter* painter, const QRectF& rect, const QColor& color, bool turnedOn) override;

protected:
    void mouseDown(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct TokenInfo {
        kit::Range range;
        int type = 0;
    };
    bool tokenAt(qsizetype index, TokenInfo* info) const;
    template <typename F>
    void withMovement(int movement, F&& f);

    int m_currentMovement = 0;
    bool m_isSpellChecking = false;
    QString m_placeholderText;
};
