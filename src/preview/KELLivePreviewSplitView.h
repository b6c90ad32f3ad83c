#pragma once
// The split view between the editor and the live preview.

#include <QSplitter>

class KELLivePreviewSplitView : public QSplitter
{
    Q_OBJECT
public:
    explicit KELLivePreviewSplitView(QWidget* parent = nullptr);

    bool isAdjusting() const { return m_isAdjusting; }
    /// Shares the space evenly between the panes; does nothing while already adjusting.
    void adjustSubviews();

    /// Where the divider position is kept in the user defaults.
    void setAutosaveName(const QString& name);
    QString autosaveName() const { return m_autosaveName; }

private:
    bool m_isAdjusting = false;
    QString m_autosaveName;
};
