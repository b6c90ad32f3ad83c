#include "editor/KELLayoutManager.h"

#include "support/DefaultsKeys.h"
#include "editor/KELGlyphGenerator.h"
#include "editor/KELTokenParser.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "support/UtilityFunctions.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

using kit::Range;

KELLayoutManager::KELLayoutManager(QObject* parent) : kit::LayoutManager(parent)
{
    readDefaults();
    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == KELIndentWrappedLines
            || ((key == KELOrganizeTagsSpacer || key == KELOrganizeTagsNumSpaces) && m_typesetter.indentWrappedLines())) {
            readDefaults();
            invalidateAllLayout();
        }
    });
    connect(this, &kit::LayoutManager::didInvalidateLayout, this, [this] {
        kit::NotificationCenter::defaultCenter().post(KELLayoutManagerDidInvalidateLayoutNotification, this);
    });
}

KELLayoutManager::~KELLayoutManager() = default;

void KELLayoutManager::readDefaults()
{
    kit::UserDefaults& d = kit::UserDefaults::standard();
    const QVariant wrapped = d.value(KELIndentWrappedLines);
    m_typesetter.setIndentWrappedLines(wrapped.isValid() ? wrapped.toBool() : true);
    // The same indentation unit as everywhere else in the editor.
    m_typesetter.setIndentUnit(UtilityFunctions::indentSpacerSpring());
}

void KELLayoutManager::setIndentWrappedLines(bool on)
{
    if (on == m_typesetter.indentWrappedLines())
        return;
    m_typesetter.setIndentWrappedLines(on);
    invalidateAllLayout();
}

void KELLayoutManager::setIndentUnit(const QString& unit)
{
    if (unit == m_typesetter.indentUnit())
        return;
    m_typesetter.setIndentUnit(unit);
    if (m_typesetter.indentWrappedLines())
        invalidateAllLayout();
}

QFont KELLayoutManager::fontForTokenAtCharIndex(qsizetype) const
{
    return font();
}

std::optional<QString> KELLayoutManager::attributedStringForTokenAtCharIndex(qsizetype index) const
{
    const kit::TextStorage* ts = textStorage();
    if (!ts)
        return std::nullopt;
    const int type = KELTokenParser::tokenTypeAt(ts, index);
    if (type == KELTokenTypePlaceholder) {
        const std::optional<QString> name = KELTokenParser::sharedTokenParser().tokenNameInTextStorage(ts, index);
        if (!name)
            return std::nullopt;
        return name->isEmpty() ? QString(QChar(0xFF0A)) : *name;
    }
    return QStringLiteral("...");
}

qreal KELLayoutManager::sidePaddingOfTokenWithFont(const QFont& f) const
{
    return QFontMetricsF(f).horizontalAdvance(QLatin1Char('a'));
}

QSizeF KELLayoutManager::sizeOfTokenWithAttributedString(const std::optional<QString>& label, qsizetype index) const
{
    if (!label)
        return QSizeF(0, 0);
    const QFont f = fontForTokenAtCharIndex(index);
    const qreal w = label->isEmpty() ? 0 : QFontMetricsF(f).horizontalAdvance(*label);
    return QSizeF(w + 2 * sidePaddingOfTokenWithFont(f), defaultLineHeight(f));
}

QSizeF KELLayoutManager::sizeOfTokenAtCharIndex(qsizetype index) const
{
    return sizeOfTokenWithAttributedString(attributedStringForTokenAtCharIndex(index), index);
}

QRectF KELLayoutManager::bubbleFrame(const QRectF& fragment, qreal x, qreal h, qreal w)
{
    QRectF frame(x, std::round(fragment.y() + 2.0), w, h - 4.0);
    return QRectF(frame.x() + 0.5, frame.y() - 0.5, frame.width() - 1.0, frame.height() + 1.0);
}

std::pair<QColor, QColor> KELLayoutManager::bubbleColors(bool focused, int type)
{
    if (!focused)
        return {QColor::fromRgbF(0.937f, 0.937f, 0.937f), QColor::fromRgbF(0.831f, 0.831f, 0.831f)};
    if (type == KELTokenTypeFold)
        return {QColor::fromRgbF(0.95f, 0.95f, 0.83f), QColor::fromRgbF(0.85f, 0.85f, 0.6f)};
    return {QColor::fromRgbF(0.914f, 0.937f, 0.98f), QColor::fromRgbF(0.769f, 0.831f, 0.953f)};
}

QColor KELLayoutManager::bubbleLabelColor()
{
    return QColor(Qt::black);
}

bool KELLayoutManager::isFirstResponderInKeyWindow() const
{
    kit::TextView* v = textView();
    return v && v->isFirstResponderInKeyWindow();
}

void KELLayoutManager::displayUnitsInRange(Range range, QList<kit::DisplayUnit>& out) const
{
    const kit::TextStorage* ts = textStorage();
    if (!ts)
        return;
    KELGlyphGenerator::displayUnits(ts, range, [this](qsizetype start) { return sizeOfTokenAtCharIndex(start).width(); }, out);
}

qreal KELLayoutManager::wrappedLineIndent(Range paragraphContent) const
{
    const kit::TextStorage* ts = textStorage();
    if (!ts)
        return 0;
    return m_typesetter.wrappedLineIndent(ts, paragraphContent, font(), tabStopDistance(),
                                          containerWidth() - 2 * lineFragmentPadding());
}

bool KELLayoutManager::shouldBreakLineBeforeCharacterAtIndex(qsizetype index) const
{
    const kit::TextStorage* ts = textStorage();
    return !ts || m_typesetter.shouldBreakLineByWordBeforeCharacterAtIndex(ts, index);
}

bool KELLayoutManager::attributeAffectsLayout(const QString& key) const
{
    return key == KELTokenTypeAttributeName || key == KELTokenIdAttributeName || kit::LayoutManager::attributeAffectsLayout(key);
}

void KELLayoutManager::textStorageEdited(kit::TextStorage* storage, int mask, Range range, qsizetype delta, Range invalidated)
{
    // A change inside one token after its first character needs no new layout.
    if (!(mask & kit::TextStorageEditedCharacters) && range.length > 0 && range.location > 0
        && KELTokenParser::tokenIdAt(storage, range.location)) {
        Range run;
        storage->attribute(KELTokenIdAttributeName, range.location - 1, &run, Range(range.location - 1, range.length + 1));
        if (run.location == range.location - 1 && run.length == range.length + 1 && KELTokenParser::tokenIdAt(storage, range.location - 1)) {
            Q_EMIT needsDisplay();
            return;
        }
    }
    kit::LayoutManager::textStorageEdited(storage, mask, range, delta, invalidated);
}

QColor KELLayoutManager::selectionColor(const kit::DrawContext& context) const
{
    // The user's selection colour; its grey (the mean of its components) when not focused.
    QColor c = kit::UserDefaults::standard().colorValue(KELSelectionColorKey);
    if (!c.isValid())
        c = context.selectionColor;
    if (context.focused)
        return c;
    const float mean = (c.redF() + c.greenF() + c.blueF()) / 3.0f;
    return QColor::fromRgbF(mean, mean, mean, c.alphaF());
}

void KELLayoutManager::drawDisplayUnit(QPainter* painter, const kit::DisplayUnit& unit, const QRectF& rect, qreal baseline,
                                       const QRectF& fragment, const kit::DrawContext& context)
{
    const std::optional<QString> label = attributedStringForTokenAtCharIndex(unit.range.location);
    if (!label)
        return;
    const QFont f = fontForTokenAtCharIndex(unit.range.location);
    const QSizeF size = sizeOfTokenWithAttributedString(label, unit.range.location);
    const QRectF frame = bubbleFrame(fragment, rect.x(), size.height(), size.width());
    const qreal radius = std::min((size.height() - 4.0) * 0.5, std::min(frame.width(), frame.height()) * 0.5);
    QPainterPath path;
    path.addRoundedRect(frame, radius, radius);
    const auto [fill, stroke] = bubbleColors(context.focused, unit.kind);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(path, fill);
    painter->setPen(QPen(stroke, 1.0));
    painter->drawPath(path);
    painter->setFont(f);
    // The bubble is light in every colour scheme: its label is dark, whatever the text colour.
    painter->setPen(bubbleLabelColor());
    painter->drawText(QPointF(rect.x() + sidePaddingOfTokenWithFont(f), baseline), *label);
    painter->restore();
}
