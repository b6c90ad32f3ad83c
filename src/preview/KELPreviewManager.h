#pragma once
// What a text document asks of its live preview.

class QObject;
class QWidget;

class KELPreviewManager
{
public:
    virtual ~KELPreviewManager() = default;
    /// The view that holds the editor and the preview; the document shows it in its editor area.
    virtual QWidget* livePreviewView() = 0;
    /// Moves the editor's scroll view into the preview's split view.
    virtual void showLivePreview() = 0;
    /// Takes the editor's scroll view out again (it is left without a parent, for
    /// the document to put back) and clears the page.
    virtual void hideLivePreview() = 0;
    virtual void clearPreview() = 0;
    /// Reloads now, fetching everything again.
    virtual void refresh(QObject* sender) = 0;
    /// Whether edits reload the preview.
    virtual void setShouldRefresh(bool shouldRefresh) = 0;
};
