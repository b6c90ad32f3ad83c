#pragma once
// The vertical ruler beside an editor that numbers the lines of the stored text: a
// folded range counts the lines it hides, wrapped lines carry one number. Line starts
// are found lazily, up to the last line drawn, and forgotten after an edit.

#include "kit/Types.h"
#include "kit/text/RulerView.h"
#include "kit/text/ScrollView.h"

#include <QColor>
#include <QFont>
#include <QMetaObject>
#include <optional>
#include <vector>

namespace kit {
class ScrollView;
class TextStorage;
class TextView;
} // namespace kit

class NoodleLineNumberView : public kit::RulerView
{
    Q_OBJECT
public:
    explicit NoodleLineNumberView(kit::ScrollView* scrollView);
    ~NoodleLineNumberView() override;

    /// Follows another text view (null: follows none).
    void setClientView(kit::TextView* view);
    void stopUpdating() { m_stopUpdating = true; }
    bool isStoppedUpdating() const { return m_stopUpdating; }

    void setFont(const QFont& font) { m_font = font; }
    QFont font() const;
    void setTextColor(const QColor& color) { m_textColor = color; }
    QColor textColor() const;
    void setBackgroundColor(const QColor& color) { m_backgroundColor = color; }
    QColor backgroundColor() const { return m_backgroundColor; }

    virtual void setForPrinting(bool on);
    bool forPrinting() const { return m_forPrinting; }

    // Line-start cache.
    void invalidateLineIndices();
    void invalidateLineIndicesFromCharIndex(qsizetype index);
    /// Position in the cache of the line holding index.
    qsizetype lineNumberForCharacterIndex(qsizetype index) const;
    void calculateLinesForCharIndex(qsizetype index);
    /// Start of the next numbered line after the one holding index; numLines counts the
    /// line breaks passed, those hidden in folds included.
    static qsizetype nextLineStartInText(const kit::TextStorage* storage, qsizetype index, qint64* numLines);
    const std::vector<qsizetype>& lineIndices() const { return m_lineIndices; }
    const std::vector<qint64>& displayNumbers() const { return m_displayNumbers; }

    qreal numberWidth() const;
    void updateThickness() { updateThickness(false); }
    void updateThickness(bool immediately);
    /// Ignored once updating stopped.
    void setRuleThickness(qreal thickness);

    /// Draws the numbers of the lines inside containerRect (text-container coordinates)
    /// with y shifted by yOffset (ruler y = line y + yOffset), right-aligned in width.
    void drawLineNumbers(QPainter* painter, const QRectF& containerRect, qreal yOffset, qreal width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void drawBackground(QPainter* painter, const QRect& rect) override;
    void drawHashMarksAndLabels(QPainter* painter, const QRect& rect) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Repaints the band of the client's container (its coordinates) beside the text.
    void displayBand(qreal top, qreal bottom);
    /// After an edit of the client's text (mask: the storage's edited mask).
    virtual void textDidChange(int mask, kit::Range editedRange);
    virtual void defaultsChanged(const QString& key);
    kit::TextView* client() const;

private:
    void disconnectClient();

    std::vector<qsizetype> m_lineIndices;
    std::vector<qint64> m_displayNumbers;
    std::optional<QFont> m_font;
    QColor m_textColor;
    QColor m_backgroundColor;
    bool m_stopUpdating = false;
    bool m_forPrinting = false;
    QList<QMetaObject::Connection> m_clientConnections;
};
