#include "componentui/KELComponentLibraryListView.h"

#include "componentui/KELComponentLibrarySelectButton.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QSplitter>

const QList<std::shared_ptr<KELComponent>>& KELComponentGroup::components()
{
    if (!m_componentsIsSorted) {
        std::stable_sort(m_components.begin(), m_components.end(),
                         [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
        m_componentsIsSorted = true;
    }
    return m_components;
}

void KELComponentGroup::addComponent(const std::shared_ptr<KELComponent>& component)
{
    if (m_components.contains(component))
        return;
    m_components << component;
    m_componentsIsSorted = false;
}

void KELComponentGroup::removeComponent(const std::shared_ptr<KELComponent>& component)
{
    m_components.removeAll(component);
}

// ---------------------------------------------------------------- icon view

KELComponentLibraryIconView::KELComponentLibraryIconView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_selectButton = new KELComponentLibrarySelectButton(this);
    m_selectButton->hide();
    connect(m_selectButton, &QAbstractButton::clicked, this, [this] { select(); });
}

void KELComponentLibraryIconView::setComponent(const std::shared_ptr<KELComponent>& component)
{
    m_component = component;
    m_image = component && !component->imagePath().isEmpty() ? QImageReader(component->imagePath()).read() : QImage();
    m_selectButton->setVisible(bool(component));
    update();
}

void KELComponentLibraryIconView::select()
{
    if (m_component && m_delegate)
        m_delegate->componentWasSelected(m_component);
}

void KELComponentLibraryIconView::setShowNoSearchResultsMessage(bool show)
{
    m_showNoSearchResultsMessage = show;
    update();
}

QString KELComponentLibraryIconView::placeholderText() const
{
    return m_showNoSearchResultsMessage ? QStringLiteral("No Search Results") : QStringLiteral("Select a Component");
}

void KELComponentLibraryIconView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_selectButton->move(width() - 95, height() - 20 - m_selectButton->height());
}

void KELComponentLibraryIconView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::black);
    QFont font = this->font();
    const int w = width(), h = height();
    if (m_component) {
        // The picture above the name, scaled down to fit and centred.
        const QRectF area = QRectF(0, 0, w, h - 98).adjusted(10, 10, -10, -10);
        if (!m_image.isNull() && area.width() > 0 && area.height() > 0) {
            QSizeF size = m_image.size();
            if (size.width() > area.width() || size.height() > area.height())
                size.scale(area.size(), Qt::KeepAspectRatio);
            QRectF target(QPointF(), size);
            target.moveCenter(area.center());
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(target, m_image);
        }
        font.setPixelSize(24);
        painter.setFont(font);
        painter.setPen(Qt::white);
        const QRectF title(0, h - 98 - 30, w, 30);
        painter.drawText(title, Qt::AlignCenter, QFontMetrics(font).elidedText(
            m_component->name().value_or(QString()), Qt::ElideRight, w));
        font.setPixelSize(16);
        painter.setFont(font);
        painter.drawText(QRectF(20, h - 5 - 58, m_selectButton->x() - 40, 58), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         m_component->displayDescription());
    } else {
        font.setPixelSize(24);
        painter.setFont(font);
        painter.setPen(QColor::fromRgbF(0.5f, 0.5f, 0.5f));
        painter.drawText(QRectF(20, h / 2.0 - 30, w - 40, 30), Qt::AlignCenter, placeholderText());
    }
}

// ---------------------------------------------------------------- outline

void KELComponentLibraryListOutlineView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Q_EMIT doubleAction();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------- list view

namespace {
constexpr int ComponentRole = Qt::UserRole + 1;
}

KELComponentLibraryListView::KELComponentLibraryListView(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitView = new QSplitter(Qt::Horizontal, this);
    m_outlineView = new KELComponentLibraryListOutlineView(m_splitView);
    m_outlineView->setAccessibleName(tr("Components"));
    m_outlineView->setHeaderHidden(true);
    m_outlineView->setColumnCount(1);
    m_iconView = new KELComponentLibraryIconView(m_splitView);
    // The icon view keeps room for its picture and text.
    m_iconView->setMinimumWidth(350);
    m_splitView->addWidget(m_outlineView);
    m_splitView->addWidget(m_iconView);
    m_splitView->setStretchFactor(1, 1);
    m_splitView->setSizes({220, 500});
    layout->addWidget(m_splitView);

    connect(m_outlineView, &QTreeWidget::itemSelectionChanged, this, [this] { selectionDidChange(); });
    connect(m_outlineView, &QTreeWidget::itemDoubleClicked, this, [this] { select(); });
    connect(m_outlineView, &KELComponentLibraryListOutlineView::doubleAction, this, [this] { select(); });
    // The flags follow the user, so a group stays as it was across reloads and searches.
    connect(m_outlineView, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (auto group = groupOfItem(item); group && !m_reloading)
            group->setExpanded(true);
    });
    connect(m_outlineView, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (auto group = groupOfItem(item); group && !m_reloading)
            group->setExpanded(false);
    });
}

void KELComponentLibraryListView::setDelegate(KELComponentViewDelegate* delegate)
{
    KELComponentView::setDelegate(delegate);
    m_iconView->setDelegate(delegate);
}

std::shared_ptr<KELComponentGroup> KELComponentLibraryListView::groupOfItem(QTreeWidgetItem* item) const
{
    if (!item || item->parent())
        return nullptr;
    return m_groupsDictionary.value(item->text(0));
}

void KELComponentLibraryListView::reloadComponents()
{
    const auto previous = selectedComponent();
    m_activeGroupsArray.clear();
    for (const auto& group : std::as_const(m_groupsArray))
        group->removeAllComponents();
    const QList<std::shared_ptr<KELComponent>> components = m_dataSource ? m_dataSource->components()
                                                                         : QList<std::shared_ptr<KELComponent>>();
    for (const auto& component : components) {
        if (!component)
            continue;
        const QString name = component->group().value_or(QString());
        std::shared_ptr<KELComponentGroup>& group = m_groupsDictionary[name];
        if (!group) {
            group = std::make_shared<KELComponentGroup>(name);
            m_groupsArray << group;
        }
        if (!m_activeGroupsArray.contains(group))
            m_activeGroupsArray << group;
        group->addComponent(component);
    }
    std::stable_sort(m_activeGroupsArray.begin(), m_activeGroupsArray.end(),
                     [](const auto& a, const auto& b) { return a->compare(*b) < 0; });

    m_reloading = true;
    m_outlineView->clear();
    QTreeWidgetItem* reselect = nullptr;
    for (const auto& group : std::as_const(m_activeGroupsArray)) {
        auto* groupItem = new QTreeWidgetItem(m_outlineView, {group->groupName()});
        QFont bold = groupItem->font(0);
        bold.setBold(true);
        groupItem->setFont(0, bold);
        for (const auto& component : group->components()) {
            auto* item = new QTreeWidgetItem(groupItem, {component->name().value_or(QString())});
            item->setData(0, ComponentRole, QVariant::fromValue(quintptr(component.get())));
            item->setData(0, Qt::AccessibleDescriptionRole, component->displayDescription().trimmed());
            if (component == previous)
                reselect = item;
        }
        groupItem->setExpanded(group->expanded());
    }
    m_reloading = false;
    if (reselect && (!reselect->parent() || reselect->parent()->isExpanded()))
        m_outlineView->setCurrentItem(reselect);
    selectionDidChange();
    m_iconView->setShowNoSearchResultsMessage(components.isEmpty());
}

std::shared_ptr<KELComponent> KELComponentLibraryListView::selectedComponent() const
{
    const QList<QTreeWidgetItem*> items = m_outlineView->selectedItems();
    if (items.isEmpty() || !items.first()->parent())
        return nullptr;
    QTreeWidgetItem* item = items.first();
    auto group = m_groupsDictionary.value(item->parent()->text(0));
    const quintptr key = item->data(0, ComponentRole).value<quintptr>();
    if (group)
        for (const auto& component : group->components())
            if (quintptr(component.get()) == key)
                return component;
    return nullptr;
}

void KELComponentLibraryListView::selectionDidChange()
{
    m_iconView->setComponent(selectedComponent());
}

void KELComponentLibraryListView::select()
{
    if (auto component = selectedComponent(); component && m_delegate)
        m_delegate->componentWasSelected(component);
}
