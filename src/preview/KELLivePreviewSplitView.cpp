#include "preview/KELLivePreviewSplitView.h"

#include "kit/UserDefaults.h"

KELLivePreviewSplitView::KELLivePreviewSplitView(QWidget* parent)
    : QSplitter(parent)
{
    setChildrenCollapsible(false);
    connect(this, &QSplitter::splitterMoved, this, [this] {
        if (!m_autosaveName.isEmpty())
            kit::UserDefaults::standard().setValue(m_autosaveName, saveState());
    });
}

void KELLivePreviewSplitView::adjustSubviews()
{
    if (m_isAdjusting)
        return;
    m_isAdjusting = true;
    const int total = orientation() == Qt::Horizontal ? width() : height();
    const int panes = count();
    if (panes > 0) {
        QList<int> sizes;
        for (int i = 0; i < panes; ++i)
            sizes.append(qMax(1, total / panes));
        setSizes(sizes);
    }
    m_isAdjusting = false;
}

void KELLivePreviewSplitView::setAutosaveName(const QString& name)
{
    m_autosaveName = name;
    const QVariant state = kit::UserDefaults::standard().value(name);
    if (state.typeId() == QMetaType::QByteArray)
        restoreState(state.toByteArray());
}
