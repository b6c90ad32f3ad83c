#pragma once
// The outline of one document's text: a flat list of items in text order, made
// by the language parsers from the structures the colouring passes report. It
// follows edits without re-parsing: an edit drops the items it touched and the
// next colouring pass finds them again. Fold segments and the comment commands
// are worked out from the items.

#include "syntax/KELSyntaxTextView.h"
#include "kit/Types.h"
#include "syntax/KELDocumentStructureItem.h"
#include "syntax/KELDocumentStructureSegment.h"
#include "syntax/SyntaxStructureObserver.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

namespace kit {
class TextStorage;
}
class SyntaxType;

class KELDocumentStructure : public QObject, public SyntaxStructureObserver
{
    Q_OBJECT
public:
    /// `storage` holds the document's text and parse state; `syntaxType` answers the
    /// document's current language (it may change while the document lives).
    KELDocumentStructure(kit::TextStorage* storage, std::function<SyntaxType*()> syntaxType, QObject* parent = nullptr);
    ~KELDocumentStructure() override;

    /// The view whose selection the comment commands work on.
    void setTextView(KELSyntaxTextView* view);
    KELSyntaxTextView* textView() const { return m_textView; }
    kit::TextStorage* textStorage() const { return m_storage; }
    SyntaxType* syntaxType() const;

    const QList<KELDocumentStructureItemRef>& allItems() const { return m_items; }
    /// Items 0 ... this index have a valid cached absolute location; -1 when none has.
    qsizetype correctAbsoluteIndex() const { return m_correctAbsoluteIndex; }
    /// Index of the item in allItems(); -1 when it is not there.
    qsizetype indexOfItem(const KELDocumentStructureItem* item) const;

    /// Drops the items an edit touched and shifts the rest. `editedRange` is in the
    /// new text. Answers the range to re-colour so the dropped items are found again.
    kit::Range invalidateStructureForEditInRange(kit::Range editedRange, qsizetype changeInLength);
    /// Drops the items whose location range overlaps the range.
    void clearItemsInRange(kit::Range range);
    /// Drops every item (a new text or language).
    void removeAllItems();

    // SyntaxStructureObserver.
    void clearedSyntaxStructuresOfType(const QString& typeName, const SyntaxText& text, kit::Range range) override;
    void foundSyntaxStructure(
        const QString& structureName, const QString& typeName, const SyntaxText& text, kit::Range range) override;

    // Searches: the index of the last item whose location (or location + length, or
    // location + docStructureLength) is at or before the location; -1 when none.
    qsizetype indexOfLastItemStartingBeforeLocation(qsizetype location);
    qsizetype indexOfLastItemEndingBeforeLocation(qsizetype location);
    qsizetype indexOfLastItemTextEndingBeforeLocation(qsizetype location);
    qsizetype indexOfLastItemBeforeLocation(
        qsizetype location, const std::function<qsizetype(KELDocumentStructure*, qsizetype)>& locationFunction);

    qsizetype absoluteLocationOfItemAtIndex(qsizetype index);
    /// (location, length)
    kit::Range locationRangeOfItemAtIndex(qsizetype index);
    /// (location, docStructureLength)
    kit::Range textRangeOfItemAtIndex(qsizetype index);
    void ensureCorrectAbsoluteThroughIndex(qsizetype index);
    /// (location, selectionLength); (NotFound, 0) when the item is not listed.
    kit::Range textRangeToSelectForItem(const KELDocumentStructureItem* item);

    // Folding.
    /// The fold segments starting in the range, sorted by contentsLocation. With
    /// `forceCompletion`, segments still open are completed to the end of their
    /// language's region and the scan runs on until they close.
    QList<KELDocumentStructureSegmentRef> structureSegmentsInText(
        const QString& text, kit::Range range, bool forceCompletion);
    /// The same over the storage's text, without reading it.
    QList<KELDocumentStructureSegmentRef> structureSegmentsInRange(kit::Range range, bool forceCompletion);
    QList<KELDocumentStructureSegmentRef> structureSegmentsInText(qsizetype textLength, kit::Range range,
        bool forceCompletion, const QString& typeName, kit::Range typeRange, qsizetype* itemIndex);
    /// The segment the item opens; null (and a log line) when it is not listed or
    /// opens none. When the colouring has not yet reached where the segment closes,
    /// it colours on (see setColorThrough) until it does.
    KELDocumentStructureSegmentRef structureSegmentForOpenItem(const KELDocumentStructureItemRef& item);

    /// Colours the text at least through the index and answers how far it is
    /// coloured now: the items describe only the coloured part of the text.
    using ColorThrough = std::function<qsizetype(qsizetype index)>;
    void setColorThrough(ColorThrough colorThrough) { m_colorThrough = std::move(colorThrough); }

    // Comments (over the text view's selection).
    bool isSelectionCommented();
    bool canAddOrRemoveCommentsForSelection(bool* isCommented = nullptr);
    void addCommentsForSelection();
    void removeCommentsForSelection();
    /// The part of the range a comment command may work on, inside the innermost
    /// language at its start; (NotFound, 0) when the range crosses a nested region
    /// of that same language. `typeName` receives that language.
    kit::Range rangeForCommentOperation(kit::Range range, QString* typeName = nullptr);

Q_SIGNALS:
    /// After `count` items were inserted at `index`.
    void itemsInserted(qsizetype index, qsizetype count);
    /// After `count` items were removed from `index`.
    void itemsRemoved(qsizetype index, qsizetype count);

private:
    void commentSelection(bool add);
    /// The region of the nested language at the location, with the runs that belong
    /// to it after the first.
    kit::Range wholeNestedRegion(SyntaxType* type, const QString& enclosingTypeName, SyntaxType* nested,
        qsizetype location, kit::Range region, qsizetype limit);
    /// The item at the location that stands for `item` after a pass made it anew.
    KELDocumentStructureItemRef sameItemAtLocation(const KELDocumentStructureItem& item, qsizetype location);
    QString currentString() const;
    /// The text the parsers read for a found structure: a piece of the storage around
    /// it, with its place in the text.
    QString textAround(const SyntaxText& text, kit::Range range, qsizetype* origin);

    kit::TextStorage* m_storage = nullptr;
    std::function<SyntaxType*()> m_syntaxType;
    ColorThrough m_colorThrough;
    QPointer<KELSyntaxTextView> m_textView;
    QList<KELDocumentStructureItemRef> m_items;
    qsizetype m_correctAbsoluteIndex = -1;
    // A piece of the storage's text kept for the structures a pass reports one after
    // another, valid while the storage's characters keep their version.
    struct Piece {
        quint64 version = 0;
        qsizetype origin = 0;
        QString text;
    } m_piece;
};
