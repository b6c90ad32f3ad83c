#pragma once
// What the shared completion panel reads and inserts through, and the panel as
// the colouring managers see it (the editor registers the real one).

#include "syntax/KELCompletion.h"

#include <QRect>
#include <QString>
#include <memory>

class QWidget;

class CodeCompletionDataSource
{
public:
    virtual ~CodeCompletionDataSource() = default;
    virtual qsizetype numberOfCompletions() const = 0;
    virtual std::shared_ptr<KELCompletion> completionAtIndex(qsizetype index) const = 0;
    /// Inserts the entry into the text.
    virtual void applyCompletion(const std::shared_ptr<KELCompletion>& completion) = 0;
};

/// Posted by the panel (no object) when it goes from shown to closing or closed.
inline const QString KELCompletionPanelDidCloseNotification = QStringLiteral("KELCompletionPanelDidCloseNotification");

class KELCompletionPanel
{
public:
    virtual ~KELCompletionPanel() = default;
    /// Showing, or fading in.
    virtual bool isActive() const = 0;
    virtual CodeCompletionDataSource* dataSource() const = 0;
    virtual void setDataSource(CodeCompletionDataSource* source) = 0;
    /// Only when it is the current source: clears it and closes the panel.
    virtual void unsetDataSource(CodeCompletionDataSource* source) = 0;
    virtual void reloadCompletions() = 0;
    /// Shows the panel beside the insertion point (screen coordinates), or keeps it there.
    virtual void showWindowWithCursorRect(const QRect& cursorRect) = 0;
    virtual void animateFadeOut() = 0;
    virtual void close() = 0;
    /// The panel's own window.
    virtual QWidget* panelWindow() const = 0;

    static KELCompletionPanel* shared();
    static void setShared(KELCompletionPanel* panel);
};
