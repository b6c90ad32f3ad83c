#include "componentui/KELVariableViews.h"

#include "components/KELFormatter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextDocument>
#include <cmath>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
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
    updateGeometry();
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
    : KELVariableView(parent), m_header(new QWidget(this)), m_disclosureTriangle(new QToolButton(m_header)),
      m_titleTextField(new QLabel(m_header)), m_contentHolder(new QWidget(this)), m_contentLayout(new QVBoxLayout(m_contentHolder))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_header);
    layout->addWidget(m_contentHolder);

    // The header: the triangle 7 points in, the title after it, 28 points high.
    m_header->setFixedHeight(HeaderHeight);
    m_header->setCursor(Qt::PointingHandCursor);
    m_header->installEventFilter(this);
    auto* headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(7, 0, 7, 0);
    headerLayout->setSpacing(4);
    m_disclosureTriangle->setCheckable(true);
    m_disclosureTriangle->setChecked(false);
    m_disclosureTriangle->setArrowType(Qt::RightArrow);
    m_disclosureTriangle->setAutoRaise(true);
    m_disclosureTriangle->setFixedSize(16, 16);
    m_disclosureTriangle->setFocusPolicy(Qt::TabFocus);
    QFont font = m_titleTextField->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    m_titleTextField->setFont(font);
    m_titleTextField->setTextInteractionFlags(Qt::NoTextInteraction);
    headerLayout->addWidget(m_disclosureTriangle);
    headerLayout->addWidget(m_titleTextField, 1);

    m_contentLayout->setContentsMargins(ContentIndent, 0, 0, 0);
    m_contentLayout->setSpacing(0);
    connect(m_disclosureTriangle, &QToolButton::toggled, this, [this] { updateFrameCollapse(); });
    updateFrameCollapse();
}

QString KELVariableCollapsibleView::title() const
{
    return m_titleTextField->text();
}

void KELVariableCollapsibleView::setTitle(const QString& title)
{
    m_titleTextField->setText(title);
    m_disclosureTriangle->setAccessibleName(title);
}

void KELVariableCollapsibleView::setContentView(QWidget* view)
{
    if (m_contentView == view)
        return;
    if (m_contentView) {
        m_contentLayout->removeWidget(m_contentView);
        m_contentView->hide();
        m_contentView->setParent(nullptr);
    }
    m_contentView = view;
    if (view) {
        m_contentLayout->addWidget(view);
        // Shown within the holder, which is what collapsing hides.
        view->show();
    }
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
    // Collapsed, the section is its header alone; open, the header over the content.
    m_contentHolder->setVisible(!folded && m_contentView);
    updateGeometry();
    // A section that no layout places (a window of its own) sizes itself.
    if (!parentWidget() || !parentWidget()->layout()) {
        if (QLayout* own = layout())
            own->activate();
        resize(width(), heightForWidth(width()) > 0 ? heightForWidth(width()) : sizeHint().height());
    }
    if (auto* up = qobject_cast<KELVariableView*>(parentWidget()))
        up->invalidateColoring();
}

bool KELVariableCollapsibleView::eventFilter(QObject* watched, QEvent* event)
{
    // A click anywhere on the header opens or closes the section.
    if (watched == m_header && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_header->rect().contains(mouse->position().toPoint())) {
            m_disclosureTriangle->toggle();
            return true;
        }
    }
    return KELVariableView::eventFilter(watched, event);
}

// --- KELVariableIndexView

KELVariableIndexView::KELVariableIndexView(QWidget* parent) : KELVariableView(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
}

void KELVariableIndexView::setHeaderView(QWidget* view)
{
    if (m_headerView == view)
        return;
    if (m_headerView) {
        m_layout->removeWidget(m_headerView);
        m_headerView->deleteLater();
    }
    m_headerView = view;
    if (view)
        m_layout->insertWidget(0, view);
    update();
}

void KELVariableIndexView::setContentView(QWidget* view)
{
    if (!view) {
        // No repetition: an empty view of no height holds the place.
        if (!m_emptyView)
            m_emptyView = new QWidget(this);
        view = m_emptyView;
    }
    if (m_contentView == view)
        return;
    if (m_contentView) {
        m_layout->removeWidget(m_contentView);
        m_contentView->hide();
    }
    m_contentView = view;
    view->setParent(this);
    m_layout->addWidget(view);
    view->setVisible(view != m_emptyView);
    updateGeometry();
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
    if (!rootColoringView() || qobject_cast<KELVariableIndexView*>(parentWidget()))
        return;
    // The band runs from the top to the innermost content.
    QWidget* inner = m_contentView;
    while (auto* nested = qobject_cast<KELVariableIndexView*>(inner))
        inner = nested->contentView();
    if (!inner || !inner->isVisible())
        return;
    const int bandBottom = inner->mapTo(this, QPoint(0, 0)).y();
    if (bandBottom <= 0)
        return;
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, bandBottom);
    const QColor white(255, 255, 255);
    const QColor blue(237, 243, 254);
    const bool odd = initialColorIndex() % 2 != 0;
    // Odd: white at the band's lower edge, light blue at its upper edge.
    gradient.setColorAt(0, odd ? blue : white);
    gradient.setColorAt(1, odd ? white : blue);
    painter.fillRect(QRect(0, 0, width(), bandBottom), gradient);
}

// --- Undo and Redo belong to the window

bool KELIsUndoOrRedoShortcut(QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo);
}

// --- KELComponentTextField

KELComponentTextField::KELComponentTextField(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &KELComponentTextField::textWasEdited);
    connect(this, &QLineEdit::editingFinished, this, &KELComponentTextField::endEdit);
}

bool KELComponentTextField::event(QEvent* event)
{
    // The field's own undo would change the text behind the editor's back.
    if (KELIsUndoOrRedoShortcut(event)) {
        event->ignore();
        return event->type() == QEvent::KeyPress;
    }
    return QLineEdit::event(event);
}

void KELComponentTextField::focusInEvent(QFocusEvent* event)
{
    m_previousValue = text();
    m_editing = true;
    QLineEdit::focusInEvent(event);
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

// --- KELComponentTextArea

KELComponentTextArea::KELComponentTextArea(int lines, QWidget* parent) : QPlainTextEdit(parent), m_lines(qMax(1, lines))
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    // The component's undo is the only undo.
    setUndoRedoEnabled(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    connect(this, &QPlainTextEdit::textChanged, this, &KELComponentTextArea::textWasEdited);
}

int KELComponentTextArea::heightForLines() const
{
    const QMarginsF margins = document()->documentMargin() * QMarginsF(1, 1, 1, 1);
    const int frame = 2 * frameWidth() + int(std::ceil(margins.top() + margins.bottom())) + contentsMargins().top() + contentsMargins().bottom();
    return fontMetrics().lineSpacing() * m_lines + frame;
}

QSize KELComponentTextArea::sizeHint() const
{
    return QSize(QPlainTextEdit::sizeHint().width(), heightForLines());
}

QSize KELComponentTextArea::minimumSizeHint() const
{
    return QSize(QPlainTextEdit::minimumSizeHint().width(), heightForLines());
}

void KELComponentTextArea::setText(const QString& text)
{
    if (text == toPlainText())
        return;
    const int cursor = textCursor().position();
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
    m_lastText = text;
    QTextCursor caret = textCursor();
    caret.setPosition(qMin(cursor, int(text.size())));
    setTextCursor(caret);
}

bool KELComponentTextArea::event(QEvent* event)
{
    if (KELIsUndoOrRedoShortcut(event)) {
        event->ignore();
        return event->type() == QEvent::KeyPress;
    }
    return QPlainTextEdit::event(event);
}

void KELComponentTextArea::focusInEvent(QFocusEvent* event)
{
    m_previousValue = toPlainText();
    QPlainTextEdit::focusInEvent(event);
}

void KELComponentTextArea::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        endEdit();
}

void KELComponentTextArea::textWasEdited()
{
    if (m_settingText)
        return;
    const QString typed = toPlainText();
    if (typed == m_lastText)
        return;
    if (const auto* limit = dynamic_cast<const KELStringFormatter*>(m_formatter)) {
        const QString replacement = limit->formatString(typed).value_or(m_previousValue);
        if (replacement != typed) {
            setText(replacement);
            Q_EMIT valueEdited(replacement);
            return;
        }
    }
    m_lastText = typed;
    Q_EMIT valueEdited(typed);
}

void KELComponentTextArea::endEdit()
{
    if (m_formatter) {
        const QString replacement = m_formatter->formatString(toPlainText()).value_or(m_previousValue);
        if (replacement != toPlainText())
            setText(replacement);
        Q_EMIT valueEdited(toPlainText());
    }
    m_previousValue = toPlainText();
}

// --- KELComponentComboBox

KELComponentComboBox::KELComponentComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completion is ours: the shortest match regardless of case.
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        if (!m_deleting)
            complete(typed);
        m_deleting = false;
        Q_EMIT textEdited(lineEdit()->text());
    });
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { Q_EMIT textEdited(currentText()); });
}

QStringList KELComponentComboBox::items() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << itemText(i);
    return list;
}

bool KELComponentComboBox::eventFilter(QObject* watched, QEvent* event)
{
    // Deleting a character must not complete it back.
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_deleting = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    }
    return QComboBox::eventFilter(watched, event);
}

void KELComponentComboBox::complete(const QString& typed)
{
    QLineEdit* edit = lineEdit();
    if (typed.isEmpty() || edit->cursorPosition() != typed.size())
        return;
    const std::optional<QString> completed = completedString(typed, items());
    if (!completed || completed->size() <= typed.size())
        return;
    edit->setText(*completed);
    // The completed part is selected, so the next key replaces it.
    edit->setSelection(int(completed->size()), -int(completed->size() - typed.size()));
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

// --- KELVariableFormScrollArea

KELVariableFormScrollArea::KELVariableFormScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void KELVariableFormScrollArea::setFormView(QWidget* form)
{
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (form)
        layout->addWidget(form);
    layout->addStretch(1);
    setWidget(holder);
    m_form = form;
    // The area follows the form's needs as sections open and rows come and go.
    holder->installEventFilter(this);
    updateGeometry();
}

int KELVariableFormScrollArea::chromeWidth() const
{
    // Room for the vertical scroll bar whether or not it shows, so showing it never cuts a row.
    return verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

QSize KELVariableFormScrollArea::sizeHint() const
{
    const QWidget* holder = widget();
    if (!holder)
        return QScrollArea::sizeHint();
    const QSize form = holder->sizeHint().expandedTo(holder->minimumSizeHint());
    return QSize(form.width() + chromeWidth(), qMin(form.height(), 600));
}

QSize KELVariableFormScrollArea::minimumSizeHint() const
{
    const QWidget* holder = widget();
    if (!holder)
        return QScrollArea::minimumSizeHint();
    return QSize(qMax(200, holder->minimumSizeHint().width() + chromeWidth()), 100);
}

bool KELVariableFormScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}
