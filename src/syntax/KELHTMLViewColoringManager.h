#pragma once
// Decides when, what and how much to colour in one text storage shown by one
// or more editor views: the visible text a tenth of a second after scrolling
// stops, an edit at once when it lies near the coloured part, and the rest of
// the text in small background segments spaced out by timers.

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
    /// Characters coloured by one background segment (a tenth of it while the
    /// window is in the background).
    static constexpr qsizetype SegmentLength = 2000;

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
    /// Colours the view's visible text now / a tenth of a second from now.
    void colorViewableTags(KELSyntaxTextView* view);
    void colorViewableTagsFromTimer(KELSyntaxTextView* view);
    bool isViewableColoringScheduled() const { return m_viewableTimer.isActive(); }

    // The background chain.
    /// Restarts the chain: the next segment runs a second from now.
    void colorSegmentFromTimer();
    /// Schedules the next segment after `seconds` (at least 0.03) unless one is
    /// scheduled, everything is coloured, or the window or application is inactive.
    void colorSegmentFromTimer(double seconds);
    /// Colours one segment from the colouring index and schedules the next.
    void colorSegment();
    bool isColoringWithTimer() const { return m_isColoringWithTimer; }
    /// Milliseconds until the scheduled segment runs (its interval); -1 when none.
    int scheduledSegmentInterval() const { return m_segmentTimer.isActive() ? m_segmentTimer.interval() : -1; }

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

    QList<QPointer<KELSyntaxTextView>> m_textViews;
    QPointer<kit::TextStorage> m_storage;
    SyntaxType* m_syntaxType = nullptr;
    qsizetype m_correctColoringIndex = 0;
    bool m_textColorChanged = false;
    bool m_isColoringWithTimer = false;
    QTimer m_segmentTimer;
    QTimer m_viewableTimer;
    QPointer<KELSyntaxTextView> m_viewableView;
    QList<quint64> m_observerIds;
    QPointer<KELSyntaxTextView> m_codeCompletionTextView;
    QList<std::shared_ptr<KELCompletion>> m_completions;
    kit::Range m_initialCompletionRange { kit::NotFound, 0 };
    kit::Range m_lastSelectedRange { kit::NotFound, 0 };
};
