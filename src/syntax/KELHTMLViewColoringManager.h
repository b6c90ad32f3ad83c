#pragma once
// Decides when, what and how much to colour in one text storage shown by one
// or more editor views: the visible text a tenth of a second after scrolling
// stops, an edit at once when it lies near the coloured part, and the rest of
// the text in background steps of a few milliseconds each, one after another,
// so that a large page is done soon without holding up the window.

#include "kit/Types.h"
#include "syntax/CodeCompletionDataSource.h"
#include "syntax/SyntaxCompletionResult.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <optional>

namespace kit {
class TextStorage;
}
class KELSyntaxTextView;
class SyntaxInfo;
class SyntaxStructureObserver;
class SyntaxType;
class SyntaxCompletionResult;

class KELHTMLViewColoringManager : public QObject, public CodeCompletionDataSource
{
    Q_OBJECT
public:
    /// Main-thread time one background step may take, in milliseconds (a tenth of
    /// it while the window is in the background). A step colours as many passes as
    /// fit; the next step follows once the events that came meanwhile are handled.
    static constexpr double StepMilliseconds = 8.0;
    /// Seconds from a restart of the chain to its next step.
    static constexpr double RestartDelay = 0.05;
    /// The fewest characters one background pass colours.
    static constexpr qsizetype SegmentLength = 2000;
    /// How long an explicit completion request may colour before it answers; beyond
    /// that the chain colours the rest and the list appears when it gets there.
    static constexpr double CompletionColoringMilliseconds = 40.0;

    explicit KELHTMLViewColoringManager(QObject* parent = nullptr);
    ~KELHTMLViewColoringManager() override;

    /// Adds a view of the text. Every view must show the first view's storage and
    /// sit in a scroll view.
    void addTextView(KELSyntaxTextView* view);
    const QList<QPointer<KELSyntaxTextView>>& textViews() const { return m_textViews; }
    /// The first view's storage; null without views.
    kit::TextStorage* textStorage() const;
    /// The first view in the active window, else the first view.
    KELSyntaxTextView* primaryTextView() const;

    virtual SyntaxType* syntaxType() const { return m_syntaxType; }
    void setSyntaxType(SyntaxType* type) { m_syntaxType = type; }
    /// Receives the structures the passes clear and find; none here.
    virtual SyntaxStructureObserver* observer() const { return nullptr; }
    virtual bool resumeColoringWhenWindowBecomesKey() const { return true; }

    /// Text before this index is known to be coloured correctly.
    qsizetype correctColoringIndex() const { return m_correctColoringIndex; }
    void setCorrectColoringIndex(qsizetype index) { m_correctColoringIndex = index; }

    /// Stops both timers (the owner goes away).
    void invalidateTimers();
    /// Colours the whole text in one request.
    void colorAllTags();
    /// Texts up to this length are coloured in one request when the whole text is
    /// to be coloured anew; a longer one would hold up the window.
    static constexpr qsizetype ColorAllAtOnceLimit = 512 * 1024;
    /// Colours the whole text anew (the Color All Tags command, another language):
    /// a short text in one request, a longer one from its visible part on, with the
    /// rest through the background chain from the start of the text.
    void recolorAllTags();
    /// Colours the view's visible text now / a tenth of a second from now.
    void colorViewableTags(KELSyntaxTextView* view);
    void colorViewableTagsFromTimer(KELSyntaxTextView* view);
    bool isViewableColoringScheduled() const { return m_viewableTimer.isActive(); }

    // The background chain.
    /// Restarts the chain: unless a step is scheduled already, the next one runs
    /// RestartDelay from now.
    void colorSegmentFromTimer();
    /// Schedules the next step after `seconds` unless one is scheduled, everything is
    /// coloured, or the window or application is inactive or the completion list is
    /// open (a completion waiting for the colouring runs the chain all the same).
    void colorSegmentFromTimer(double seconds);
    /// Colours one step from the colouring index and schedules the next.
    void colorSegment();
    bool isColoringWithTimer() const { return m_isColoringWithTimer; }
    /// Milliseconds until the scheduled step runs (its interval); -1 when none.
    int scheduledSegmentInterval() const { return m_segmentTimer.isActive() ? m_segmentTimer.interval() : -1; }
    /// Colours from the colouring index on until it reaches `index` (or the end of
    /// the text), for a request that needs the parse state or the outline there.
    /// Gives up after `milliseconds` when that is not negative. Answers whether the
    /// colouring reached the index.
    bool colorThroughIndex(qsizetype index, double milliseconds = -1);
    /// Whether everything is coloured.
    bool isColoringComplete() const;
    /// A completion request waits for the colouring to reach its caret.
    bool hasPendingCompletion() const { return m_pendingCompletion.has_value(); }

    /// The extra range to re-colour after an edit; the edited range here.
    virtual kit::Range rangeToColorAfterEditWithRange(kit::Range editedRange, qsizetype changeInLength);
    /// Handles a processed edit of the storage.
    virtual void updateAfterEdit();
    void windowDidBecomeKey(QWidget* window);
    void colorSettingsChanged();
    void textColorChanged() { m_textColorChanged = true; }
    void handleChangedTextColorIfNeeded();

    // Completion.
    /// The explicit request (the Complete command) in the view.
    void suggestCompletion(KELSyntaxTextView* view);
    /// The request made by typing: only where the language completes by itself,
    /// never after white space, and only within the coloured text.
    void suggestCompletionIfAvailable(KELSyntaxTextView* view, const QString& insertedString);
    /// Follows the caret while the panel is open: new entries, or the panel fades
    /// out once the caret leaves the range that opened it.
    void updateCompletions(KELSyntaxTextView* view, bool selectionChange);
    KELSyntaxTextView* codeCompletionTextView() const { return m_codeCompletionTextView; }
    const QList<std::shared_ptr<KELCompletion>>& completions() const { return m_completions; }
    void setCompletions(const QList<std::shared_ptr<KELCompletion>>& completions);
    kit::Range initialCompletionRange() const { return m_initialCompletionRange; }

    qsizetype numberOfCompletions() const override { return m_completions.size(); }
    std::shared_ptr<KELCompletion> completionAtIndex(qsizetype index) const override;
    void applyCompletion(const std::shared_ptr<KELCompletion>& completion) override;

protected:
    /// Whether the primary view's window is the active one (tests may answer).
    virtual bool isPrimaryWindowActive() const;
    virtual bool isApplicationActive() const;
    /// Whether the completion panel is open (the chain waits while it is).
    virtual bool isCompletionPanelActive() const;
    /// One completion request at the view's caret.
    std::optional<SyntaxCompletionResult> completionsAtCaret(KELSyntaxTextView* view, bool startCompletions);
    /// Runs one request on the primary view's storage.
    void colorWithInfo(SyntaxInfo& info, qsizetype* correctColoringIndex);

private:
    void setDisplayOnly(bool on);
    void boundsDidChange(KELSyntaxTextView* view);
    /// One background pass from the colouring index, sized to take about `milliseconds`.
    void colorPass(double milliseconds);
    /// Wakes a chain that paused for the list, the window or the application, when one
    /// of the views shows.
    void resumeIfShown();
    /// Runs a completion request that waited for the colouring once it got there.
    void runPendingCompletion();

    struct PendingCompletion
    {
        QPointer<KELSyntaxTextView> view;
        kit::Range selection;
        bool automatic = false;
        QString inserted;
    };

    QList<QPointer<KELSyntaxTextView>> m_textViews;
    QPointer<kit::TextStorage> m_storage;
    SyntaxType* m_syntaxType = nullptr;
    qsizetype m_correctColoringIndex = 0;
    bool m_textColorChanged = false;
    bool m_isColoringWithTimer = false;
    QTimer m_segmentTimer;
    QTimer m_viewableTimer;
    QPointer<KELSyntaxTextView> m_viewableView;
    // Characters a pass colours per millisecond, learnt from the passes so far.
    double m_charactersPerMillisecond = 4000.0;
    std::optional<PendingCompletion> m_pendingCompletion;
    QList<quint64> m_observerIds;
    QPointer<KELSyntaxTextView> m_codeCompletionTextView;
    QList<std::shared_ptr<KELCompletion>> m_completions;
    kit::Range m_initialCompletionRange { kit::NotFound, 0 };
    kit::Range m_lastSelectedRange { kit::NotFound, 0 };
};
