#pragma once
// The editor's layout manager: tokens as labelled bubbles, the selection in the
// user's colour, no re-layout for attribute changes inside a token, and the
// wrapped-line indent settings.

#include "editor/KELTypesetter.h"
#include "kit/text/LayoutManager.h"

#include <QSizeF>

inline const QString KELLayoutManagerDidInvalidateLayoutNotification =
    QStringLiteral("KELLayoutManagerDidInvalidateLayoutNotification");

class KELLayoutManager : public kit::LayoutManager {
    Q_OBJECT
public:
    explicit KELLayoutManager(QObject* parent = nullptr);
    ~KELLayoutManager() override;

    QFont fontForTokenAtCharIndex(qsizetype index) const;
    /// The bubble label: the placeholder's name ("＊" when empty), "..." for a fold; none
    /// when the name cannot be read.
    std::optional<QString> attributedStringForTokenAtCharIndex(qsizetype index) const;
    QSizeF sizeOfTokenWithAttributedString(const std::optional<QString>& label, qsizetype index) const;
    qreal sidePaddingOfTokenWithFont(const QFont& font) const;
    QSizeF sizeOfTokenAtCharIndex(qsizetype index) const;
    /// The bubble frame for a token box (pure geometry).
    static QRectF bubbleFrame(const QRectF& lineFragment, qreal x, qreal tokenHeight, qreal tokenWidth);
    /// Fill and stroke colours by focus and token type.
    static std::pair<QColor, QColor> bubbleColors(bool focused, int tokenType);
    /// Colour of a bubble's label (the bubbles are light in every colour scheme).
    static QColor bubbleLabelColor();
    bool isFirstResponderInKeyWindow() const;

    void setInvalidateDisplayOnlyForAttributeChange(bool on) { m_displayOnly = on; }
    bool invalidateDisplayOnlyForAttributeChange() const { return m_displayOnly; }

    KELTypesetter& typesetter() { return m_typesetter; }
    /// Settings: each re-lays the whole text when it changes the indent.
    void setIndentWrappedLines(bool on);
    void setIndentUnit(const QString& unit);

    // kit::LayoutManager hooks.
    void displayUnitsInRange(kit::Range range, QList<kit::DisplayUnit>& out) const override;
    qsizetype largeUnitLimit() const override { return KELTypesetter::LargeTokenLimit; }
    qreal wrappedLineIndent(kit::Range paragraphContent) const override;
    bool shouldBreakLineBeforeCharacterAtIndex(qsizetype index) const override;
    bool attributeAffectsLayout(const QString& key) const override;
    void drawDisplayUnit(QPainter* painter, const kit::DisplayUnit& unit, const QRectF& rect, qreal baseline,
                         const QRectF& lineFragment, const kit::DrawContext& context) override;
    QColor selectionColor(const kit::DrawContext& context) const override;
    void textStorageEdited(kit::TextStorage* storage, int mask, kit::Range range, qsizetype delta,
                           kit::Range invalidated) override;

private:
    void readDefaults();
    KELTypesetter m_typesetter;
    bool m_displayOnly = false;
};
