#pragma once
// The editor's gutter: line numbers plus a strip of markers along the left edge:
// triangles at folded ranges, fold candidates while the mouse is over the gutter, the
// pair of triangles of a range just unfolded, and one error or warning icon per line
// with problems. Clicks fold, unfold or show the errors of a line.

#include "support/KELSyntaxCheckError.h"
#include "editor/KELCodeFoldDataSource.h"
#include "editor/KELTooltip.h"
#include "editor/NoodleLineNumberView.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <functional>
#include <limits>

class KELLineNumberView;
class KELTextView;
namespace kit {
struct AccessibleItem;
}

struct KELGutterMarker
{
    enum Type : qint32 { FoldedRange = 0, FoldControl = 1, ErrorGroup = 2 };
    qint32 type = FoldedRange;
    QRectF rect;
    kit::Range textRange = kit::Range(0, 0);
    QString imageName;
    quint64 priority = std::numeric_limits<quint64>::max();
    double opacity = 1.0;
    QList<KELSyntaxCheckError> errors;
    KELCodeFoldOpportunityRef foldOpp;

    /// Order by y (half a point of slack), then by priority: -1, 0 or 1.
    int compare(const KELGutterMarker& other) const;
};

/// The fade of the hover-only markers: 0.2 s for a full change, linear, resuming from
/// the opacity reached when it reverses.
class KELGutterAnimation : public QVariantAnimation
{
    Q_OBJECT
public:
    KELGutterAnimation(KELLineNumberView* view, double targetOpacity);
    double targetOpacity() const { return m_target; }
    double currentProgress() const { return m_progress; }
    /// Sets the gutter's opacity for progress p.
    void setCurrentProgress(double p);
    static constexpr int FullDurationMs = 200;

protected:
    void updateCurrentValue(const QVariant& value) override;

private:
    QPointer<KELLineNumberView> m_view;
    double m_target;
    double m_progress = 0;
};

class KELLineNumberView : public NoodleLineNumberView
{
    Q_OBJECT
public:
    explicit KELLineNumberView(kit::ScrollView* scrollView);
    ~KELLineNumberView() override;

    static constexpr qreal MarkerStripWidth = 14.0;
    static constexpr qreal ErrorIconSize = 12.0;
    static constexpr qreal TriangleSize = 10.0;
    static constexpr int TooltipDelayMs = 500;

    void setForPrinting(bool on) override;
    void updateMarkerThickness();

    /// The errors marked: the owner's list when one is shared, else the gutter's own copy.
    const QList<KELSyntaxCheckError>& documentErrors() const;
    /// Keeps a copy (sorted by location) of errors that no edit moves.
    void setDocumentErrors(const QList<KELSyntaxCheckError>& errors);
    /// Reads the errors from their owner's list, kept sorted by location and moved along
    /// with every edit by its owner, instead of a copy that would stay where it was.
    using ErrorListProvider = std::function<const QList<KELSyntaxCheckError>*()>;
    void setDocumentErrorsProvider(ErrorListProvider provider);
    /// The owner's list was replaced: redraw the markers (and an open tooltip).
    void documentErrorsDidChange();
    /// The number shown in the gutter for the line holding the character (1 for the first).
    quint64 displayedLineNumberForCharacterIndex(qsizetype index);
    KELCodeFoldDataSource* foldDataSource() const { return m_foldDataSource; }
    void setFoldDataSource(KELCodeFoldDataSource* source) { m_foldDataSource = source; }
    double markerOpacity() const { return m_markerOpacity; }
    void setMarkerOpacity(double opacity);
    kit::Range unfoldedRange() const { return m_unfoldedRange; }
    KELTextView* textView() const;

    QList<KELGutterMarker> visibleGutterMarkers() const;
    /// The markers of the range; fold candidates only while the gutter shows them, unless
    /// all are asked for.
    QList<KELGutterMarker> gutterMarkersForTextRange(kit::Range range, KELTextView* view,
                                                     bool allFoldCandidates = false) const;
    /// Does what a click on the marker does: folds, unfolds or shows the line's errors.
    void pressMarker(const KELGutterMarker& marker);
    QRectF indicatorRect(const QSizeF& size, qsizetype charIndex, KELTextView* view, const QRectF& visible) const;
    static QString errorIconNameForErrorLevel(qint32 level);
    static QPixmap markerImage(const QString& name);
    /// The marker whose rectangle holds the point (gutter coordinates).
    std::optional<KELGutterMarker> markerForPoint(const QPointF& point) const;

    // Fade.
    void startMarkerAnimationWithTargetOpacity(double target);
    KELGutterAnimation* markerAnimation() const { return m_animation; }

    // Tooltips.
    static std::optional<QString> tooltipStringForErrors(const QList<KELSyntaxCheckError>& errors);
    void showTooltipForCurrentMouseLocation();
    void showTooltipForMarker(const KELGutterMarker& marker);
    void hideTooltip();
    void invalidateTooltipTimer();
    KELTooltip* displayedTooltip() const { return m_tooltip; }
    bool isTooltipTimerActive() const { return m_tooltipTimer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    void textDidChange(int mask, kit::Range editedRange) override;
    void defaultsChanged(const QString& key) override;

private:
    /// What a screen reader is told the gutter shows.
    QList<kit::AccessibleItem> accessibleMarkers();
    void mouseMovedTo(const QPointF& point);
    void dropTooltip(bool fade);

    QList<KELSyntaxCheckError> m_errors;
    ErrorListProvider m_errorsProvider;
    KELCodeFoldDataSource* m_foldDataSource = nullptr;
    double m_markerOpacity = 0.0;
    kit::Range m_unfoldedRange = kit::Range(kit::NotFound, 0);
    QPointer<KELGutterAnimation> m_animation;
    QPointer<KELTooltip> m_tooltip;
    QTimer m_tooltipTimer;
    // The error marker the mouse rests on (its first error's range), for arming the timer once.
    kit::Range m_hoveredErrorMarker = kit::Range(kit::NotFound, 0);
};
