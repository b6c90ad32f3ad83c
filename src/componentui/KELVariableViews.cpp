#include "componentui/KELVariableViews.h"

#include "components/KELFormatter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

// --- KELVariableView

KELVariableView::KELVariableView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void KELVariableView::setBackgroundColor(const QColor& color)
{
    if (m_backgroundColor == color)
        return;
    m_backgroundColor = color;
    update();
}

bool KELVariableView::rootColoringView() const
{
    for (QWidget* up = parentWidget(); up; up = up->parentWidget()) {
        if (auto* variableView = qobject_cast<KELVariableView*>(up))
            return variableView->rootColoringView() ? m_rootColoringView : false;
        // A scroll area's viewport sits between a view and its container.
        if (!qobject_cast<QScrollArea*>(up) && up->objectName() != QLatin1String("qt_scrollarea_viewport"))
            break;
    }
    return m_rootColoringView;
}

void KELVariableView::setRootColoringView(bool on)
{
    m_rootColoringView = on;
    invalidateColoring();
}

void KELVariableView::setInitialColorIndex(int index)
{
    m_initialColorIndex = index;
    invalidateColoring();
}

QList<QColor> KELVariableView::alternatingColors()
{
    return { QColor(255, 255, 255), QColor(243, 246, 250) };
}

void KELVariableView::invalidateColoring()
{
    const QList<QColor> colors = alternatingColors();
    const bool root = rootColoringView();
    int k = 0;
    const auto children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isHidden())
            continue;
        auto* variableView = qobject_cast<KELVariableView*>(child);
        if (!variableView) {
            ++k;
            continue;
        }
        if (!root) {
            variableView->setBackgroundColor(QColor());
            variableView->invalidateColoring();
            ++k;
            continue;
        }
        auto* group = qobject_cast<KELVariableGroupView*>(variableView);
        if (group && group->m_rootColoringView) {
            group->m_initialColorIndex = m_initialColorIndex + k;
            k += int(group->stackedViews().size());
            group->invalidateColoring();
            continue;
        }
        variableView->setBackgroundColor(colors.at((m_initialColorIndex + k) % colors.size()));
        variableView->invalidateColoring();
        ++k;
    }
    update();
}

void KELVariableView::setViewEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    updateControlsEnabled(this);
}

void KELVariableView::updateControlsEnabled(QWidget* view)
{
    const auto children = view->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (auto* variableView = qobject_cast<KELVariableView*>(child)) {
            variableView->setViewEnabled(m_enabled);
            continue;
        }
        if (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) || qobject_cast<QComboBox*>(child)
            || child->focusPolicy() != Qt::NoFocus) {
            // Commit what is being typed before the control goes grey.
            if (!m_enabled && child->hasFocus())
                child->clearFocus();
            child->setEnabled(m_enabled);
            continue;
        }
        updateControlsEnabled(child);
    }
}

void KELVariableView::setViewHidden(bool hidden)
{
    if (isHidden() == hidden)
        return;
    setVisible(!hidden);
    if (auto* up = qobject_cast<KELVariableView*>(parentWidget()))
        up->invalidateColoring();
}

void KELVariableView::paintEvent(QPaintEvent* event)
{
    if (m_backgroundColor.isValid()) {
        QPainter painter(this);
        painter.fillRect(rect(), m_backgroundColor);
    }
    QWidget::paintEvent(event);
}

// --- KELVariableGroupView

KELVariableGroupView::KELVariableGroupView(QWidget* parent) : KELVariableView(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->setSizeConstraint(QLayout::SetMinimumSize);
    setRootColoringView(true);
}

void KELVariableGroupView::addVariableView(QWidget* view)
{
    if (!view)
        return;
    m_layout->addWidget(view);
    layoutSubviews();
}

QList<QWidget*> KELVariableGroupView::stackedViews() const
{
    QList<QWidget*> views;
    for (int i = 0; i < m_layout->count(); ++i) {
        if (QWidget* widget = m_layout->itemAt(i)->widget())
            views.append(widget);
    }
    return views;
}

void KELVariableGroupView::layoutSubviews()
{
    m_layout->invalidate();
    invalidateColoring();
}

void KELVariableGroupView::invalidateColoring()
{
    const QList<QColor> colors = alternatingColors();
    const bool root = rootColoringView();
    int k = 0;
    for (QWidget* child : stackedViews()) {
        if (child->isHidden())
            continue;
        auto* variableView = qobject_cast<KELVariableView*>(child);
        if (!variableView) {
            ++k;
            continue;
        }
        auto* group = qobject_cast<KELVariableGroupView*>(variableView);
        if (root && group && group->KELVariableView::rootColoringView()) {
            group->setBackgroundColor(QColor());
            group->KELVariableView::setInitialColorIndex(initialColorIndex() + k);
            k += int(group->stackedViews().size());
            continue;
        }
        variableView->setBackgroundColor(root ? colors.at((initialColorIndex() + k) % colors.size()) : QColor());
        variableView->invalidateColoring();
        ++k;
    }
    update();
}

// --- KELVariableCollapsibleView

KELVariableCollapsibleView::KELVariableCollapsibleView(QWidget* parent)
    : KELVariableView(parent), m_disclosureTriangle(new QToolButton(this)), m_titleTextField(new QLabel(this)),
      m_contentLayout(new QVBoxLayout(this))
{
    m_disclosureTriangle->setCheckable(true);
    m_disclosureTriangle->setChecked(false);
    m_disclosureTriangle->setArrowType(Qt::RightArrow);
    m_disclosureTriangle->setAutoRaise(true);
    m_disclosureTriangle->setGeometry(7, 8, 13, 13);
    QFont font = m_titleTextField->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    m_titleTextField->setFont(font);
    m_contentLayout->setContentsMargins(ContentIndent, HeaderHeight, 0, 0);
    m_contentLayout->setSpacing(0);
    m_contentLayout->setSizeConstraint(QLayout::SetMinimumSize);
    connect(m_disclosureTriangle, &QToolButton::toggled, this, [this] { updateFrameCollapse(); });
    m_contentView = new QWidget(this);
    m_contentLayout->addWidget(m_contentView);
    updateFrameCollapse();
}

QString KELVariableCollapsibleView::title() const
{
    return m_titleTextField->text();
}

void KELVariableCollapsibleView::setTitle(const QString& title)
{
    m_titleTextField->setText(title);
    m_titleTextField->setGeometry(20, 7, qMax(0, width() - 27), 14);
    m_titleTextField->adjustSize();
}

void KELVariableCollapsibleView::setContentView(QWidget* view)
{
    if (m_contentView == view || !view)
        return;
    if (m_contentView) {
        m_contentLayout->removeWidget(m_contentView);
        m_contentView->deleteLater();
    }
    m_contentView = view;
    m_contentLayout->addWidget(view);
    updateFrameCollapse();
}

bool KELVariableCollapsibleView::collapsed() const
{
    return !m_disclosureTriangle->isChecked();
}

void KELVariableCollapsibleView::setCollapsed(bool collapsed)
{
    if (this->collapsed() == collapsed)
        return;
    m_disclosureTriangle->setChecked(!collapsed);
}

void KELVariableCollapsibleView::updateFrameCollapse()
{
    const bool folded = collapsed();
    m_disclosureTriangle->setArrowType(folded ? Qt::RightArrow : Qt::DownArrow);
    if (m_contentView)
        m_contentView->setVisible(!folded);
    // Collapsed the section is its header alone.
    setFixedHeight(folded || !m_contentView ? HeaderHeight : HeaderHeight + contentHeight());
    m_contentLayout->invalidate();
    updateGeometry();
}

int KELVariableCollapsibleView::contentHeight() const
{
    const int wanted = qMax(m_contentView->sizeHint().height(), m_contentView->minimumHeight());
    return wanted > 0 ? wanted : qMax(0, m_contentView->height());
}

QSize KELVariableCollapsibleView::sizeHint() const
{
    const int content = collapsed() || !m_contentView ? 0 : contentHeight();
    return QSize(200, HeaderHeight + content);
}

// --- KELVariableIndexView

KELVariableIndexView::KELVariableIndexView(const QString& title, QWidget* parent)
    : KELVariableView(parent), m_title(new QLabel(title, this)), m_layout(new QVBoxLayout(this))
{
    QFont font = m_title->font();
    font.setBold(true);
    m_title->setFont(font);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->setSizeConstraint(QLayout::SetMinimumSize);
    m_layout->addWidget(m_title);
    if (title.isEmpty())
        m_title->hide();
}

void KELVariableIndexView::setContentView(QWidget* view)
{
    if (m_contentView == view)
        return;
    if (m_contentView)
        m_layout->removeWidget(m_contentView);
    m_contentView = view;
    if (view)
        m_layout->addWidget(view);
    invalidateColoring();
}

void KELVariableIndexView::invalidateColoring()
{
    auto* target = qobject_cast<KELVariableView*>(m_contentView.data());
    if (!target) {
        if (auto* scroll = qobject_cast<QScrollArea*>(m_contentView.data()))
            target = qobject_cast<KELVariableView*>(scroll->widget());
    }
    if (rootColoringView() && target) {
        target->setRootColoringView(true);
        target->setInitialColorIndex(initialColorIndex() + (qobject_cast<KELVariableIndexView*>(target) ? 0 : 1));
        update();
        return;
    }
    KELVariableView::invalidateColoring();
}

void KELVariableIndexView::paintEvent(QPaintEvent* event)
{
    KELVariableView::paintEvent(event);
    if (!rootColoringView() || qobject_cast<KELVariableIndexView*>(parentWidget()) || !m_contentView)
        return;
    const int bandBottom = m_contentView->geometry().top();
    if (bandBottom <= 0)
        return;
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, bandBottom);
    const QColor white(255, 255, 255);
    const QColor blue(237, 243, 254);
    const bool odd = initialColorIndex() % 2 != 0;
    gradient.setColorAt(0, odd ? blue : white);
    gradient.setColorAt(1, odd ? white : blue);
    painter.fillRect(QRect(0, 0, width(), bandBottom), gradient);
}

// --- KELComponentTextField

KELComponentTextField::KELComponentTextField(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &KELComponentTextField::textWasEdited);
    connect(this, &QLineEdit::editingFinished, this, &KELComponentTextField::endEdit);
}

void KELComponentTextField::focusInEvent(QFocusEvent* event)
{
    m_previousValue = text();
    m_editing = true;
    QLineEdit::focusInEvent(event);
}

void KELComponentTextField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
}

void KELComponentTextField::textWasEdited(const QString& typed)
{
    if (!m_editing) {
        m_previousValue = typed;
        m_editing = true;
    }
    if (const auto* limit = dynamic_cast<const KELStringFormatter*>(m_formatter)) {
        const std::optional<QString> formatted = limit->formatString(typed);
        const QString replacement = formatted.value_or(m_previousValue);
        if (replacement != typed) {
            const int cursor = qMin(cursorPosition(), int(replacement.size()));
            setText(replacement);
            setCursorPosition(cursor);
        }
    }
    Q_EMIT valueEdited(text());
}

void KELComponentTextField::endEdit()
{
    if (m_formatter) {
        const std::optional<QString> formatted = m_formatter->formatString(text());
        const QString replacement = formatted.value_or(m_previousValue);
        if (replacement != text())
            setText(replacement);
        Q_EMIT valueEdited(text());
    }
    m_previousValue = text();
}

// --- KELComponentComboBox

KELComponentComboBox::KELComponentComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

std::optional<QString> KELComponentComboBox::completedString(const QString& typed, const QStringList& items)
{
    const QString lowered = typed.toLower();
    const QString* best = nullptr;
    for (const QString& item : items) {
        if (!item.toLower().startsWith(lowered))
            continue;
        if (!best || item.size() < best->size())
            best = &item;
    }
    if (!best)
        return std::nullopt;
    return typed + best->mid(typed.size());
}
