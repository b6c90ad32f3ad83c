#pragma once
// The one completion list shared by every editor view: a floating, frameless
// window beside the insertion point with the entries the colouring pass found,
// a description of the selected entry and an information button per entry.
// It never takes the keyboard: the editor forwards navigation and confirmation
// keys to it while it is shown.

#include "editor/KELHTMLView.h"
#include "syntax/CodeCompletionDataSource.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QTableWidget;
class QTextEdit;
class CodeCompletionTableView;

/// The panel window itself. Having no frame, it moves by its bottom strip and resizes
/// by the grip in that strip's right corner.
class CodeCompletionPanel : public QWidget
{
    Q_OBJECT
public:
    explicit CodeCompletionPanel(QWidget* parent = nullptr);
    /// The height of the strip at the bottom that drags the panel (and of the grip).
    static constexpr int DragStripHeight = 20;
    /// The panel's top stays this far below the top of its screen when moved.
    static constexpr int ScreenTopMargin = 22;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Move, Resize };
    // Decided on the first move after a press, from where the press was.
    bool m_decideDrag = true;
    Drag m_drag = Drag::None;
    QPoint m_pressInWindow;
    QPoint m_pressOnScreen;
    QRect m_startFrame;
};

/// The strip along the panel's bottom edge, with the resize grip drawn in its corner.
class CodeCompletionResizeView : public QWidget
{
    Q_OBJECT
public:
    explicit CodeCompletionResizeView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CodeCompletionController : public QObject, public KELCompletionPanel, public KELCodeCompletionKeyTarget
{
    Q_OBJECT
public:
    /// Made on first use; registers itself as the panel of the colouring managers and
    /// as the target of the editor's forwarded keys.
    static CodeCompletionController& sharedInstance();

    // KELCompletionPanel
    bool isActive() const override { return m_isActive; }
    CodeCompletionDataSource* dataSource() const override { return m_dataSource; }
    void setDataSource(CodeCompletionDataSource* source) override;
    void unsetDataSource(CodeCompletionDataSource* source) override;
    void reloadCompletions() override;
    void showWindowWithCursorRect(const QRect& cursorRect) override;
    void animateFadeOut() override;
    void close() override;
    QWidget* panelWindow() const override { return m_panel; }

    // KELCodeCompletionKeyTarget
    void forwardKeyEvent(QKeyEvent* event) override;

    void animateFadeIn();
    void showWindow();
    /// Keys that reach the controller: Escape fades out; Return, Enter and Tab insert
    /// the selected entry and close.
    void keyDown(QKeyEvent* event);
    void didDoubleClick(int row, int column);
    void showInfo();
    std::shared_ptr<KELCompletion> selectedCompletion() const { return m_selectedCompletion; }
    void updateDescription();

    /// Where the panel of that size goes for an insertion point, on a screen whose
    /// visible area is `screen` (empty: none): below the line when there are at
    /// least 200 pixels under it, else above; kept inside the screen.
    static QRect determineWindowFrameForCursorRect(const QRect& cursorRect, const QSize& size, const QRect& screen);

    // For tests and the list's painting.
    CodeCompletionTableView* tableView() const { return m_table; }
    QTextEdit* descriptionView() const { return m_description; }
    int selectedRow() const;
    void selectRow(int row);
    double alpha() const { return m_alpha; }
    bool isFading() const { return m_fadeTimer.isActive(); }
    bool isFadingIn() const { return m_isFadingIn; }

private:
    CodeCompletionController();
    void selectionChanged();
    void fadeStep();
    void applySelected();
    void postDidClose();

    QPointer<CodeCompletionPanel> m_panel;
    CodeCompletionTableView* m_table = nullptr;
    QTextEdit* m_description = nullptr;
    CodeCompletionDataSource* m_dataSource = nullptr;
    bool m_isActive = false;
    std::shared_ptr<KELCompletion> m_selectedCompletion;
    bool m_reloading = false;
    // Fading runs on a timer of the main thread: one fade at a time, reversible.
    QTimer m_fadeTimer;
    QElapsedTimer m_fadeClock;
    bool m_isFadingIn = false;
    double m_alpha = 0;
};
