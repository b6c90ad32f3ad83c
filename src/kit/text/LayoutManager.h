#pragma once
// Lays out a TextStorage lazily, paragraph by paragraph, on QTextLayout.
//
// A paragraph runs to a line terminator that is not inside a display unit; display units
// (the editor's tokens) are shown as one box each: in the laid-out display string a unit
// is one U+00A0 widened by letter spacing. Coordinates are text-container coordinates:
// x from the container's left edge, y from the top of the first paragraph. Indexes are
// character (UTF-16) indexes of the storage throughout.

#include "kit/Types.h"
#include "kit/text/TextStorage.h"

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QTextLayout>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace kit {

class TextStorage;
class TextView;

enum class SelectionAffinity { Upstream, Downstream };
enum class WrapMode { NoWrap, WordWrap, CharacterWrap };

/// A stretch of text shown as one box of the given width.
struct DisplayUnit {
    Range range;
    qreal width = 0;
    int kind = 0;
};

/// What the drawing pass needs from the view.
struct DrawContext {
    QList<Range> selectedRanges;
    bool focused = true;
    QColor textColor = Qt::black;
    QColor selectionColor = QColor(181, 213, 255);
    QRectF visibleRect;
    bool drawSelection = true;
};

class LayoutManager : public QObject {
    Q_OBJECT
public:
    explicit LayoutManager(QObject* parent = nullptr);
    ~LayoutManager() override;

    void setTextStorage(TextStorage* storage);
    TextStorage* textStorage() const { return m_storage; }
    void setTextView(TextView* view);
    TextView* textView() const;

    // --- Container and typesetting settings (each re-lays everything).
    void setContainerWidth(qreal width);
    qreal containerWidth() const { return m_containerWidth; }
    void setWrapMode(WrapMode mode);
    WrapMode wrapMode() const { return m_wrapMode; }
    void setLineFragmentPadding(qreal pad);
    qreal lineFragmentPadding() const { return m_padding; }
    void setFont(const QFont& font);
    const QFont& font() const { return m_font; }
    void setTabStopDistance(qreal distance);
    qreal tabStopDistance() const { return m_tabDistance; }
    void setTabStops(const QList<qreal>& stops);
    const QList<qreal>& tabStops() const { return m_tabStops; }

    static qreal defaultLineHeight(const QFont& font);
    static qreal defaultBaselineOffset(const QFont& font);
    qreal lineHeight() const { return m_lineHeight; }

    // --- Hooks for subclasses.
    /// The units that meet range, each with its full range, sorted and non-overlapping.
    virtual void displayUnitsInRange(Range range, QList<DisplayUnit>& out) const;
    /// Units longer than this are laid out as a paragraph of their own.
    virtual qsizetype largeUnitLimit() const { return 3000; }
    /// Indent of wrapped continuation lines of the paragraph whose content is range.
    virtual qreal wrappedLineIndent(Range paragraphContent) const;
    /// Whether a wrapped line may end just before index (false keeps leading indentation
    /// with the word after it: the paragraph then wraps anywhere).
    virtual bool shouldBreakLineBeforeCharacterAtIndex(qsizetype index) const;
    /// Whether a change of this attribute key needs layout (else only display).
    virtual bool attributeAffectsLayout(const QString& key) const;
    /// Draws one unit; rect is its box in container coordinates, baseline its baseline y.
    virtual void drawDisplayUnit(QPainter* painter, const DisplayUnit& unit, const QRectF& rect, qreal baseline,
                                 const QRectF& lineFragment, const DrawContext& context);
    /// Colour of the selection background.
    virtual QColor selectionColor(const DrawContext& context) const;
    /// Edit notice from the storage (after its delegate).
    virtual void textStorageEdited(TextStorage* storage, int mask, Range range, qsizetype delta, Range invalidated);

    // --- Layout control.
    void invalidateLayout(Range range);
    void invalidateAllLayout();
    void invalidateDisplay(Range range);
    void ensureLayoutForRect(const QRectF& rect);
    void ensureLayoutForCharacterRange(Range range);
    bool isLaidOut(qsizetype charIndex) const;
    /// Height of all paragraphs (laid-out ones exact, the others estimated).
    qreal usedHeight() const;
    /// Widest line laid out so far, padding included.
    qreal usedWidth() const;
    int paragraphCount() const { return int(m_starts.size()); }
    int laidOutParagraphCount() const { return m_cachedCount; }
    Range paragraphRangeAtIndex(int paragraph) const;
    int paragraphIndexForCharacter(qsizetype index) const;
    /// Top and bottom (container coordinates) of the paragraphs that hold the range, without
    /// laying them out.
    std::pair<qreal, qreal> paragraphBand(Range range) const;

    // --- Geometry.
    Range characterRangeForRect(const QRectF& rect);
    QRectF lineFragmentRect(qsizetype charIndex, Range* lineCharacters = nullptr,
                            SelectionAffinity affinity = SelectionAffinity::Downstream);
    QRectF lineFragmentUsedRect(qsizetype charIndex, SelectionAffinity affinity = SelectionAffinity::Downstream);
    /// The empty last line after a final line terminator (or of an empty text); null otherwise.
    QRectF extraLineFragmentRect();
    /// Position of a character in its line fragment: x and the baseline's y.
    QPointF locationForCharacter(qsizetype index);
    QRectF boundingRect(Range range);
    qsizetype characterIndexForPoint(const QPointF& point, qreal* fraction = nullptr);
    qsizetype insertionIndexForPoint(const QPointF& point);
    QRectF caretRect(qsizetype index, SelectionAffinity affinity = SelectionAffinity::Downstream);
    QList<QRectF> selectionRects(Range range);
    /// Character range of the visual line holding index.
    Range lineRangeForCharacter(qsizetype index, SelectionAffinity affinity = SelectionAffinity::Downstream);
    /// Caret stops: grapheme clusters, a unit and CR LF each count as one.
    qsizetype nextCaretPosition(qsizetype index) const;
    qsizetype previousCaretPosition(qsizetype index) const;
    /// Calls f for each line fragment that holds characters of range, in order.
    void enumerateLineFragments(Range range, const std::function<bool(const QRectF& fragment, const QRectF& used, Range characters)>& f);
    /// Display unit that covers index (its full range), if any.
    bool unitAt(qsizetype index, DisplayUnit* unit) const;

    void draw(QPainter* painter, const QRectF& rect, const DrawContext& context);

Q_SIGNALS:
    /// Layout was thrown away for some text (the line-number ruler follows this).
    void didInvalidateLayout();
    /// Everything must be repainted.
    void needsDisplay();
    /// The band of the container from top to bottom (container coordinates; bottom may be
    /// infinite: everything below top) must be repainted.
    void needsDisplayInBand(qreal top, qreal bottom);
    /// Total height may have changed.
    void heightChanged();

private:
    friend class TextStorage;
    struct Segment {
        qsizetype display;  // index in the display string
        qsizetype storage;  // offset in the paragraph
        qsizetype length;   // storage length
        qreal width;
        int kind;
    };
    // A line's glyphs cut at colour changes, kept between paints until the paragraph's
    // layout or colours change.
    struct ColouredGlyphs {
        AttributeValueId colour;
        QGlyphRun glyphs;
    };
    struct Paragraph {
        std::unique_ptr<QTextLayout> layout;
        QString display;
        std::vector<Segment> segments;
        qsizetype contentLength = 0;
        qreal height = 0;
        qsizetype lastUse = 0;
        // Per line, built when the line is first drawn (no entries: none built yet).
        std::vector<std::optional<std::vector<ColouredGlyphs>>> glyphs;
    };

    void storageDestroyed(TextStorage* storage);
    /// Repaint the paragraphs from first to last (inclusive), or everything below first's top.
    void displayParagraphs(int first, int last, bool andBelow = false);
    /// The glyphs of line k of p, coloured by the storage's runs; kept from the first use.
    const std::vector<ColouredGlyphs>& glyphsOfLine(Paragraph& p, int paragraph, int k);
    /// The glyphs of a line of p (starting at start in the text), cut at colour changes.
    std::vector<ColouredGlyphs> colouredGlyphs(const Paragraph& p, qsizetype start, const QTextLine& line) const;
    QColor colourForId(AttributeValueId id, const DrawContext& context) const;
    void rebuildAll();
    /// Re-partitions after the text before newEnd - delta from loc on became [loc, newEnd).
    void repartition(qsizetype loc, qsizetype newEnd, qsizetype delta);
    /// Paragraph starts of the whole text.
    void partition(std::vector<qsizetype>& starts) const;
    /// End of the paragraph that starts at pos; terminated when a line terminator ends it.
    qsizetype nextParagraphEnd(qsizetype pos, bool* terminated) const;
    qreal estimateHeight(qsizetype start, qsizetype end) const;
    qsizetype paragraphEnd(int i) const;
    qsizetype contentEnd(int i) const;
    Paragraph* layoutParagraph(int i);
    void dropLayouts();
    void evictIfNeeded(int keepFrom, int keepTo);
    int paragraphIndexForY(qreal y) const;
    qsizetype toDisplay(const Paragraph& p, qsizetype rel, bool insideToEnd) const;
    qsizetype toStorage(const Paragraph& p, qsizetype display) const;
    void shiftYs(int from, qreal delta);
    void settingsChanged();
    void resetWidths();
    void noteWidth(double width);
    void forgetWidth(double width);
    void updateMetrics();

    QPointer<TextStorage> m_storage;
    QPointer<QObject> m_view;
    TextView* m_textView = nullptr;
    QFont m_font;
    qreal m_lineHeight = 16;
    qreal m_avgCharWidth = 8;
    qreal m_nbspAdvance = 8;
    qreal m_containerWidth = 1000000;
    qreal m_padding = 5.0;
    qreal m_tabDistance = 32;
    QList<qreal> m_tabStops;
    WrapMode m_wrapMode = WrapMode::WordWrap;
    mutable double m_maxWidth = 0;
    mutable qsizetype m_maxCount = 0; // paragraphs at m_maxWidth
    mutable bool m_widthStale = false;

    std::vector<qsizetype> m_starts;   // paragraph starts
    std::vector<double> m_ys;          // paragraph tops; one more entry: the total height
    std::vector<double> m_widths;      // widest line of each paragraph laid out (0: not yet)
    std::vector<std::unique_ptr<Paragraph>> m_paragraphs;
    int m_cachedCount = 0;
    qsizetype m_useClock = 0;
    qsizetype m_knownLength = 0;
    bool m_deferShift = false;
};

} // namespace kit
