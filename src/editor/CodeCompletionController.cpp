#include "editor/CodeCompletionController.h"

#include "kit/NotificationCenter.h"
#include "support/InterfaceHelpers.h"
#include "syntax/KELCompletionUtils.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextLayout>
#include <QVBoxLayout>

// The list: names drawn in their styled text, "No Completions Available" when empty.
class CodeCompletionTableView : public QTableWidget
{
public:
    explicit CodeCompletionTableView(CodeCompletionController* controller, QWidget* parent)
        : QTableWidget(parent)
        , m_controller(controller)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QTableWidget::paintEvent(event);
        if (rowCount() > 0)
            return;
        QPainter p(viewport());
        p.setPen(QColor::fromRgbF(0.5f, 0.5f, 0.5f));
        p.setFont(QApplication::font());
        p.drawText(QRect(5, 0, 200, 30), Qt::AlignLeft | Qt::AlignVCenter, tr("No Completions Available"));
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QTableWidget::keyPressEvent(event);
            return;
        default:
            m_controller->keyDown(event);
        }
    }

private:
    CodeCompletionController* m_controller;
};

namespace {

// Paints an entry's display name with its own formats.
class NameDelegate : public QStyledItemDelegate
{
public:
    explicit NameDelegate(CodeCompletionController* controller, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_controller(controller)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        CodeCompletionDataSource* source = m_controller->dataSource();
        std::shared_ptr<KELCompletion> entry = source ? source->completionAtIndex(index.row()) : nullptr;
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter);
        if (!entry)
            return;
        const StyledText name = entry->displayName();
        QTextLayout layout(name.string, KELCompletionUtils::sharedInstance().displayValueAttributes().font());
        QList<QTextLayout::FormatRange> formats = name.formats;
        if (option.state & QStyle::State_Selected) {
            // The selected row's name in the highlighted text colour, whole.
            QTextLayout::FormatRange all;
            all.start = 0;
            all.length = int(name.string.size());
            all.format.setForeground(option.palette.highlightedText());
            formats.append(all);
        }
        layout.setFormats(formats);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1e6);
        layout.endLayout();
        painter->save();
        painter->setClipRect(option.rect);
        const qreal y = option.rect.top() + (option.rect.height() - (line.isValid() ? line.height() : 0)) / 2;
        layout.draw(painter, QPointF(option.rect.left() + 3, y));
        painter->restore();
    }

private:
    CodeCompletionController* m_controller;
};

QIcon infoIcon()
{
    static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    return icon;
}

} // namespace

CodeCompletionPanel::CodeCompletionPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("CodeCompletionPanel"));
    setMinimumSize(160, 120);
    resize(320, 240);
}

void CodeCompletionPanel::mousePressEvent(QMouseEvent* event)
{
    m_decideDrag = true;
    m_drag = Drag::None;
    event->accept();
}

void CodeCompletionPanel::mouseReleaseEvent(QMouseEvent* event)
{
    m_decideDrag = true;
    m_drag = Drag::None;
    event->accept();
}

void CodeCompletionPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint onScreen = event->globalPosition().toPoint();
    if (m_decideDrag) {
        m_decideDrag = false;
        // Where the drag started: the press was at the start of this move.
        m_pressInWindow = event->position().toPoint();
        m_pressOnScreen = onScreen;
        m_startFrame = geometry();
        const bool nearBottom = m_pressInWindow.y() >= height() - DragStripHeight;
        const bool nearRight = m_pressInWindow.x() >= width() - DragStripHeight;
        m_drag = nearBottom && nearRight ? Drag::Resize : nearBottom ? Drag::Move : Drag::None;
        return;
    }
    if (m_drag == Drag::Resize) {
        // The top edge stays; the bottom-right corner follows the mouse.
        const QPoint delta = onScreen - m_pressOnScreen;
        const int w = std::clamp(m_startFrame.width() + delta.x(), minimumWidth(), maximumWidth());
        const int h = std::clamp(m_startFrame.height() + delta.y(), minimumHeight(), maximumHeight());
        setGeometry(QRect(m_startFrame.topLeft(), QSize(w, h)));
    } else if (m_drag == Drag::Move) {
        QPoint origin = onScreen - m_pressInWindow;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            origin.setY(std::max(origin.y(), screen->geometry().top() + ScreenTopMargin));
        move(origin);
    }
    event->accept();
}

CodeCompletionResizeView::CodeCompletionResizeView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CodeCompletionResizeView"));
    setFixedHeight(CodeCompletionPanel::DragStripHeight);
    setCursor(Qt::OpenHandCursor);
    // Presses and drags belong to the panel, which moves or resizes.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CodeCompletionResizeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(128, 128, 128), 1));
    // Three strokes in the bottom-right corner, the grip of the panel.
    const qreal r = width() - 2.0;
    const qreal b = height() - 2.0;
    for (const qreal d : {3.6, 7.6, 11.6})
        painter.drawLine(QPointF(r - d, b), QPointF(r, b - d));
}

CodeCompletionController& CodeCompletionController::sharedInstance()
{
    static CodeCompletionController* instance = [] {
        auto* c = new CodeCompletionController;
        KELCompletionPanel::setShared(c);
        KELHTMLView::setCodeCompletionKeyTarget(c);
        return c;
    }();
    return *instance;
}

CodeCompletionController::CodeCompletionController()
{
    m_panel = new CodeCompletionPanel;
    auto* layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    auto* splitter = new QSplitter(Qt::Vertical, m_panel);
    m_table = new CodeCompletionTableView(this, splitter);
    m_table->setColumnCount(2);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_table->setColumnWidth(1, 20);
    m_table->verticalHeader()->setDefaultSectionSize(16);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setItemDelegateForColumn(0, new NameDelegate(this, m_table));
    m_table->setAccessibleName(tr("Completions"));
    m_description = new QTextEdit(splitter);
    m_description->setAccessibleName(tr("Completion description"));
    m_description->setReadOnly(true);
    m_description->setFocusPolicy(Qt::NoFocus);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter);
    layout->addWidget(new CodeCompletionResizeView(m_panel));
    m_panel->setWindowOpacity(0.95);

    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        didDoubleClick(row, column);
    });
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int column) {
        if (column == 1 && row == selectedRow())
            showInfo();
    });
    m_fadeTimer.setInterval(20);
    connect(&m_fadeTimer, &QTimer::timeout, this, [this] { fadeStep(); });
    updateDescription();
}

void CodeCompletionController::setDataSource(CodeCompletionDataSource* source)
{
    if (source == m_dataSource)
        return;
    m_dataSource = source;
    reloadCompletions();
}

void CodeCompletionController::unsetDataSource(CodeCompletionDataSource* source)
{
    if (!source || source != m_dataSource)
        return;
    m_dataSource = nullptr;
    close();
    reloadCompletions();
}

int CodeCompletionController::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = m_table->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CodeCompletionController::selectRow(int row)
{
    if (row >= 0 && row < m_table->rowCount()) {
        m_table->selectRow(row);
        m_table->scrollToItem(m_table->item(row, 0));
    } else {
        m_table->clearSelection();
    }
}

void CodeCompletionController::reloadCompletions()
{
    const std::shared_ptr<KELCompletion> remembered = m_selectedCompletion;
    const int previousRow = selectedRow();
    m_reloading = true;
    const qsizetype count = m_dataSource ? m_dataSource->numberOfCompletions() : 0;
    m_table->clearSelection();
    m_table->setRowCount(int(count));
    for (int row = 0; row < int(count); ++row) {
        std::shared_ptr<KELCompletion> entry = m_dataSource->completionAtIndex(row);
        auto* name = new QTableWidgetItem(entry ? entry->displayName().string : QString());
        m_table->setItem(row, 0, name);
        auto* info = new QTableWidgetItem;
        if (entry && entry->infoURL().isValid()) {
            info->setIcon(infoIcon());
            info->setData(Qt::AccessibleTextRole, tr("More information"));
        }
        else
            info->setFlags(info->flags() & ~Qt::ItemIsEnabled);
        m_table->setItem(row, 1, info);
    }
    // The selected row stays where it was when it still exists.
    if (previousRow >= 0 && previousRow < int(count))
        m_table->selectRow(previousRow);
    m_reloading = false;
    m_selectedCompletion = remembered;
    updateDescription();
    if (!remembered)
        return;
    int found = -1;
    int fallback = -1;
    for (int row = 0; row < int(count); ++row) {
        std::shared_ptr<KELCompletion> entry = m_dataSource->completionAtIndex(row);
        if (!entry)
            continue;
        if (entry == remembered || (entry->name() == remembered->name() && entry->value() == remembered->value())) {
            found = row;
            break;
        }
        if (row >= 1 && fallback < 0 && entry->compare(*remembered) >= 0)
            fallback = row - 1;
    }
    if (found >= 0)
        selectRow(found);
    else if (fallback >= 0)
        selectRow(fallback);
    else
        selectionChanged();
}

void CodeCompletionController::selectionChanged()
{
    if (m_reloading)
        return;
    const int row = selectedRow();
    // The first row is where a fresh list starts: it is not remembered.
    if (row > 0 && m_dataSource && row < m_dataSource->numberOfCompletions())
        m_selectedCompletion = m_dataSource->completionAtIndex(row);
    else
        m_selectedCompletion.reset();
    updateDescription();
}

void CodeCompletionController::updateDescription()
{
    m_description->clear();
    const int row = selectedRow();
    std::shared_ptr<KELCompletion> entry
        = m_dataSource && row >= 0 && row < m_dataSource->numberOfCompletions() ? m_dataSource->completionAtIndex(row)
                                                                                : nullptr;
    if (entry) {
        const StyledText text = entry->displayDescription();
        QTextCursor cursor(m_description->document());
        qsizetype at = 0;
        for (const QTextLayout::FormatRange& r : text.formats) {
            if (r.start > at)
                cursor.insertText(text.string.mid(at, r.start - at));
            cursor.insertText(text.string.mid(r.start, r.length), r.format);
            at = r.start + r.length;
        }
        if (at < text.string.size())
            cursor.insertText(text.string.mid(at));
    }
    m_description->moveCursor(QTextCursor::Start);
    m_description->ensureCursorVisible();
}

QRect CodeCompletionController::determineWindowFrameForCursorRect(
    const QRect& r, const QSize& size, const QRect& screen)
{
    QRect frame(QPoint(r.x(), 0), size);
    if (screen.isEmpty() || screen.bottom() - r.bottom() >= 200)
        frame.moveTop(r.bottom() + 1 + 4);
    else
        frame.moveBottom(r.top() - 1 - 4);
    if (!screen.isEmpty() && frame.right() > screen.right())
        frame.moveRight(screen.right());
    return screen.isEmpty() ? frame : frame.intersected(screen);
}

void CodeCompletionController::showWindowWithCursorRect(const QRect& cursorRect)
{
    // The screen that holds the insertion point (else the first), its visible area.
    QScreen* screen = screenForRect(cursorRect);
    const QRect visible = screen ? screen->availableGeometry() : QRect();
    if (!m_isActive) {
        m_selectedCompletion.reset();
        selectRow(0);
        m_panel->setGeometry(determineWindowFrameForCursorRect(cursorRect, m_panel->size(), visible));
        showWindow();
        selectRow(0);
    } else if (m_panel->frameGeometry().intersects(cursorRect)) {
        m_panel->setGeometry(determineWindowFrameForCursorRect(cursorRect, m_panel->size(), visible));
    }
}

void CodeCompletionController::showWindow()
{
    m_isActive = true;
    animateFadeIn();
    m_panel->show();
    m_panel->raise();
}

void CodeCompletionController::animateFadeIn()
{
    m_isActive = true;
    m_isFadingIn = true;
    if (m_panel->isVisible()) {
        m_alpha = m_panel->windowOpacity();
    } else {
        m_alpha = 0;
        m_panel->setWindowOpacity(0);
    }
    if (!m_fadeTimer.isActive()) {
        m_fadeClock.start();
        m_fadeTimer.start();
    }
}

void CodeCompletionController::animateFadeOut()
{
    const bool wasActive = m_isActive;
    m_isActive = false;
    m_isFadingIn = false;
    m_alpha = m_panel->windowOpacity();
    if (!m_fadeTimer.isActive()) {
        m_fadeClock.start();
        m_fadeTimer.start();
    }
    if (wasActive)
        postDidClose();
}

void CodeCompletionController::postDidClose()
{
    // The colouring waits while the list is open: let it go on.
    kit::NotificationCenter::defaultCenter().post(KELCompletionPanelDidCloseNotification);
}

void CodeCompletionController::fadeStep()
{
    const double step = 4.0 * double(m_fadeClock.restart()) / 1000.0;
    bool done = false;
    if (m_isFadingIn) {
        m_alpha += step;
        if (m_alpha > 0.89) {
            m_alpha = 0.95;
            done = true;
        }
    } else {
        m_alpha -= step;
        if (m_alpha < 0.01) {
            m_alpha = 0;
            done = true;
        }
    }
    m_panel->setWindowOpacity(m_alpha);
    if (done) {
        m_fadeTimer.stop();
        if (!m_isFadingIn)
            m_panel->hide();
    }
}

void CodeCompletionController::close()
{
    const bool wasActive = m_isActive;
    m_isActive = false;
    m_fadeTimer.stop();
    m_panel->hide();
    if (wasActive)
        postDidClose();
}

void CodeCompletionController::applySelected()
{
    const int row = selectedRow();
    if (m_dataSource && row >= 0 && row < m_dataSource->numberOfCompletions())
        if (std::shared_ptr<KELCompletion> entry = m_dataSource->completionAtIndex(row))
            m_dataSource->applyCompletion(entry);
}

void CodeCompletionController::keyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        animateFadeOut();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        // A confirmation closes at once; the entry is inserted first.
        close();
        applySelected();
        break;
    default:
        break;
    }
}

void CodeCompletionController::forwardKeyEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int rows = m_table->rowCount();
        if (rows == 0)
            return;
        const int page = std::max(1, m_table->viewport()->height() / std::max(1, m_table->rowHeight(0)) - 1);
        int row = selectedRow();
        if (event->key() == Qt::Key_Up)
            row = std::max(0, row - 1);
        else if (event->key() == Qt::Key_Down)
            row = std::min(rows - 1, row + 1);
        else if (event->key() == Qt::Key_PageUp)
            row = std::max(0, row - page);
        else
            row = std::min(rows - 1, std::max(0, row) + page);
        selectRow(row);
        return;
    }
    default:
        keyDown(event);
    }
}

void CodeCompletionController::didDoubleClick(int row, int column)
{
    if (!m_dataSource || row < 0 || row >= m_dataSource->numberOfCompletions())
        return;
    std::shared_ptr<KELCompletion> entry = m_dataSource->completionAtIndex(row);
    if (entry && entry->infoURL().isValid() && column != 0)
        return; // the information button acts
    close();
    if (entry)
        m_dataSource->applyCompletion(entry);
}

void CodeCompletionController::showInfo()
{
    const int row = selectedRow();
    if (!m_dataSource || row < 0 || row >= m_dataSource->numberOfCompletions())
        return;
    if (std::shared_ptr<KELCompletion> entry = m_dataSource->completionAtIndex(row))
        if (entry->infoURL().isValid())
            QDesktopServices::openUrl(entry->infoURL());
}
