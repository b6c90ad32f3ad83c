#include "document/TabbedEditorView.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "document/TabView.h"
#include "kit/NotificationCenter.h"
#include "support/PreferenceController2.h"

#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
const char* const OwnedByEditorProperty = "kelpOwnedByTabbedEditor";
}

TabbedEditorView::TabbedEditorView(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1); // room for the line under the tab bar
    m_tabView = new TabView(this);
    layout->addWidget(m_tabView);
    m_body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(m_body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    m_container = new QWidget(m_body);
    auto* containerLayout = new QVBoxLayout(m_container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(m_container);
    layout->addWidget(m_body, 1);

    auto* empty = new QScrollArea(m_container);
    empty->setFrameShape(QFrame::NoFrame);
    empty->setWidget(new QWidget);
    empty->setWidgetResizable(true);
    setEmptyView(empty);
    const QColor background = PreferenceController2::colorForKey(KELBackgroundColorKey);
    backgroundColorDidChange(background.isValid() ? background : QColor(Qt::white));
    replaceEditorView(nullptr);

    kit::NotificationCenter::defaultCenter().addObserver(
        KELBackgroundColoringChangedNotification, nullptr,
        [this](const kit::Notification& n) {
            const QColor color = n.userInfo.value(QStringLiteral("color")).value<QColor>();
            if (color.isValid())
                backgroundColorDidChange(color);
        },
        this);
}

TabbedEditorView::~TabbedEditorView()
{
    // Editor views belong to their documents: hand them back before the
    // container goes.
    if (m_current && m_current != m_emptyView && !m_current->property(OwnedByEditorProperty).toBool()) {
        m_current->hide();
        m_current->setParent(nullptr);
    }
}

void TabbedEditorView::setEmptyView(QScrollArea* view)
{
    m_emptyView = view;
}

void TabbedEditorView::backgroundColorDidChange(const QColor& color)
{
    if (!m_emptyView || !m_emptyView->widget())
        return;
    QPalette palette = m_emptyView->widget()->palette();
    palette.setColor(QPalette::Window, color);
    m_emptyView->widget()->setPalette(palette);
    m_emptyView->widget()->setAutoFillBackground(true);
    m_emptyView->widget()->update();
}

void TabbedEditorView::replaceEditorView(QWidget* view)
{
    if (!view)
        view = m_emptyView;
    if (!view || (m_current == view && view->parentWidget() == m_container))
        return;
    auto* layout = m_container->layout();
    // Remove what is shown now: the empty view stays ours, views made for an
    // image go, documents keep their editor views.
    while (QLayoutItem* item = layout->takeAt(0)) {
        QWidget* old = item->widget();
        delete item;
        if (!old || old == view)
            continue;
        old->hide();
        if (old == m_emptyView)
            continue;
        if (old->property(OwnedByEditorProperty).toBool())
            old->deleteLater();
        else
            old->setParent(nullptr);
    }
    if (view->parentWidget() != m_container)
        view->setParent(m_container);
    layout->addWidget(view);
    view->show();
    m_current = view;
}

void TabbedEditorView::hideTabs()
{
    if (!m_tabView)
        return;
    m_tabView->hide();
    m_tabView->deleteLater();
    m_tabView = nullptr;
    layout()->setSpacing(0);
    layout()->setContentsMargins(0, 1, 0, 0);
    update();
}

void TabbedEditorView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QColor::fromRgbF(0.45f, 0.45f, 0.45f));
    const int y = m_tabView ? m_tabView->geometry().bottom() + 1 : 0;
    p.drawLine(0, y, width(), y);
}
