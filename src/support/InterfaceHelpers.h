#pragma once
// Small interface helpers many windows share: screen look-up, swapping a view for
// another in place, vertical gradients driven by a colour function, centring of a
// small document in a scroll area, source-list colours, path strings for menus and
// fields, and a busy indicator that hides when idle.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPointF>
#include <QRect>
#include <QScrollArea>
#include <QSizeF>
#include <QString>
#include <QTableView>
#include <QWidget>
#include <array>
#include <functional>

class QPainter;
class QProgressBar;
class QScreen;

/// The first screen whose frame holds the point, else the first screen, else null.
QScreen* screenForPoint(const QPoint& point);
/// screenForPoint of the rectangle's origin.
QScreen* screenForRect(const QRect& rect);
/// The available geometry of screenForPoint; a null rectangle when there is no screen.
QRect screenVisibleFrameForPoint(const QPoint& point);

/// A busy indicator that shows only while it turns: stopped, it keeps its place in the
/// layout but draws nothing (an empty bar would look like a button).
QProgressBar* makeProgressIndicator(QWidget* parent = nullptr);
/// Starts (turning, shown) or stops (hidden) an indicator made by makeProgressIndicator.
void setProgressIndicatorAnimating(QProgressBar* indicator, bool animating);

/// Gives newView the geometry and the place (parent, layout slot) of oldView, which is
/// hidden; nothing when both are the same.
void replaceViewMatchingFrame(QWidget* oldView, QWidget* newView);

/// Fills rect with a vertical gradient from its bottom edge (t = 0) to its top edge
/// (t = 1); colourAt writes red, green, blue and alpha for t.
using GradientColorFunction = std::function<std::array<double, 4>(double t)>;
void drawVerticalGradientInRect(
    QPainter* painter, const QRectF& rect, const GradientColorFunction& colourAt, int steps = 32);

/// The scroll position for a proposed one: centred on an axis where the bounds are
/// larger than the document (negative), else clamped into the document; whole points.
QPointF constrainScrollPoint(const QPointF& proposed, const QSizeF& bounds, const QSizeF& document);

/// A scroll area that keeps a document smaller than itself centred.
class KELCenteredClipView : public QScrollArea
{
    Q_OBJECT
public:
    explicit KELCenteredClipView(QWidget* parent = nullptr);
};

/// A path shown as its components, each after its file icon, joined by " ➞ " arrows:
/// the most whole components that fit the width (at most maxComponents), counted from
/// the last; never a name cut in the middle. The full path is the tooltip.
class KELPathLabel : public QWidget
{
    Q_OBJECT
public:
    explicit KELPathLabel(QWidget* parent = nullptr);
    static constexpr int IconSize = 16;

    QString path() const { return m_path; }
    void setPath(const QString& path);
    void setArrowSeparator(bool on);
    /// -1 (the default): as many as fit.
    void setMaxComponents(int count);
    /// The components drawn now (the last one without an ".app" extension).
    QStringList shownComponents() const;
    /// The same joined by the separator, as read aloud and in tests.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList components() const;
    QString separator() const;
    qreal widthOfLastComponents(int k) const;
    int shownComponentCount() const;

    QString m_path;
    bool m_arrows = true;
    int m_maxComponents = -1;
};

// Source lists.
QColor sourceListBackgroundColor(bool applicationActiveAndWindowKey);
/// Colours of a selected row's gradient: (bottom, top).
std::pair<QColor, QColor> sourceListSelectionColors(bool focused);
/// Colour of the line at the top of a selected row.
QColor sourceListSelectionTopLineColor(bool firstRowOfBlock, bool focused, bool activeAndKey);

/// The components of a path after the root, the last maxComponents only (-1: all),
/// joined by " ➞ " with arrows, by line breaks with newLineSeparator; the last
/// component loses an ".app" extension. Empty for the root alone.
QString pathDisplayString(const QString& path, bool withArrowSeparator, bool newLineSeparator, int maxComponents);
/// The longest pathDisplayString (k components from n down to 2) whose width in the
/// font is at most maxWidth - 8; else the last component alone.
QString pathDisplayStringFittingWidth(
    const QString& path, const QFont& font, bool withArrowSeparator, int maxComponents, qreal maxWidth);

/// The item's icon when it exists; otherwise a generic document icon when the last
/// component has a point, else a generic folder icon.
QIcon iconForPathOrGeneric(const QString& path);
/// A menu item's text for a path: its name (an ".app" extension dropped), with
/// includeParent " — " and the parent folder's name.
QString menuPathString(const QString& path, bool includeParent);


/// An image shown scaled to fit on both axes, keeping its proportions, centred.
class KELPreviewImageView : public QLabel
{
    Q_OBJECT
public:
    explicit KELPreviewImageView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

/// A table that can draw the source-list background.
class KELTableView : public QTableView
{
    Q_OBJECT
public:
    using QTableView::QTableView;
    bool drawsSourceListBackground() const { return m_sourceList; }
    void setDrawsSourceListBackground(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_sourceList = false;
};
