#include "htmlui/AdvancedInsertController.h"

#include "kit/WindowPlacement.h"

#include "support/DefaultsKeys.h"
#include "editor/KELHTMLView.h"
#include "html/AttributeTableManager.h"
#include "html/TagChecker.h"
#include "kit/UserDefaults.h"
#include "support/HelpUtils.h"
#include "support/StringAdditions.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QStackedLayout>
#include <QTableWidget>
#include <QVBoxLayout>

AdvancedInsertController& AdvancedInsertController::sharedInstance()
{
    static AdvancedInsertController* controller = new AdvancedInsertController;
    return *controller;
}

AdvancedInsertController::AdvancedInsertController()
{
    // The element list follows the HTML5 / HTML 4 choice while the panel is open.
    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == KELShowHTML5Completions && m_tagSelectTableView)
            reloadTagList();
    });
}

AdvancedInsertController::~AdvancedInsertController() = default;

QString AdvancedInsertController::helpKey() const
{
    return KELAdvancedInsertHelpKey;
}

void AdvancedInsertController::loadWindow(QDialog* window)
{
    window->setObjectName(QStringLiteral("AdvancedInsertPanel"));
    window->setWindowTitle(tr("Advanced Insert"));
    auto* layout = new QVBoxLayout(window);

    m_scrollView = new QStackedLayout;
    m_tagSelectTableView = new QTableWidget(0, 1, window);
    m_tagSelectTableView->setObjectName(QStringLiteral("tagSelectTableView"));
    m_tagSelectTableView->setHorizontalHeaderLabels({tr("Tag")});
    m_tagSelectTableView->horizontalHeader()->setStretchLastSection(true);
    m_tagSelectTableView->verticalHeader()->hide();
    m_tagSelectTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tagSelectTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tagSelectTableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tagSelectTableView->setShowGrid(false);
    connect(m_tagSelectTableView, &QTableWidget::cellDoubleClicked, this, [this] { next(); });
    m_scrollView->addWidget(m_tagSelectTableView);
    m_attributePage = new QWidget(window);
    m_attributeHolder = new QVBoxLayout(m_attributePage);
    m_attributeHolder->setContentsMargins(0, 0, 0, 0);
    m_scrollView->addWidget(m_attributePage);
    layout->addLayout(m_scrollView, 1);

    m_closeTagButton = new QCheckBox(tr("Add closing tag"), window);
    m_closeTagButton->setObjectName(QStringLiteral("closeTagButton"));
    layout->addWidget(m_closeTagButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(makeHelpButton(window));
    buttons->addStretch(1);
    m_backButton = new QPushButton(tr("Back"), window);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_backButton->setAutoDefault(false);
    connect(m_backButton, &QPushButton::clicked, this, &AdvancedInsertController::back);
    m_nextButton = new QPushButton(tr("Next"), window);
    m_nextButton->setObjectName(QStringLiteral("nextButton"));
    m_nextButton->setDefault(true);
    connect(m_nextButton, &QPushButton::clicked, this, [this] {
        if (m_step == 1)
            next();
        else
            insert();
    });
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_nextButton);
    layout->addLayout(buttons);

    // Top right of the main screen until the user moves it (a saved frame wins):
    // the whole frame, title bar included, in the corner.
    window->resize(270, 400);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QRect frame = kit::windowFrame(window);
        kit::setWindowFrameTopLeft(window, QPoint(area.right() + 1 - frame.width(), area.top()));
    }
    resetValues();
}

void AdvancedInsertController::reloadTagList()
{
    const QStringList names = TagChecker::currentTagChecker().tagNames();
    const int selected = m_tagSelectTableView->currentRow();
    m_tagSelectTableView->setRowCount(int(names.size()));
    for (int row = 0; row < names.size(); ++row)
        m_tagSelectTableView->setItem(row, 0, new QTableWidgetItem(names.at(row)));
    if (!names.isEmpty())
        m_tagSelectTableView->selectRow(qBound(0, selected, int(names.size()) - 1));
}

void AdvancedInsertController::resetValues()
{
    if (!m_tagSelectTableView)
        return;
    m_step = 1;
    reloadTagList();
    if (m_tagSelectTableView->rowCount() > 0)
        m_tagSelectTableView->selectRow(0);
    m_scrollView->setCurrentWidget(m_tagSelectTableView);
    m_backButton->setEnabled(false);
    m_nextButton->setText(tr("Next"));
}

void AdvancedInsertController::next()
{
    window();
    const QList<QTableWidgetItem*> selected = m_tagSelectTableView->selectedItems();
    if (selected.isEmpty()) {
        QApplication::beep();
        return;
    }
    const QString name = selected.first()->text();
    const Tag* tag = TagChecker::currentTagChecker().tag(name);
    m_manager.reset();
    m_backButton->setEnabled(true);
    m_nextButton->setText(tr("Insert"));
    m_manager = std::make_unique<AttributeTableManager>(tag ? *tag : Tag(), name);
    m_attributeHolder->addWidget(m_manager->tableView());
    m_scrollView->setCurrentWidget(m_attributePage);
    m_step = 2;
}

void AdvancedInsertController::back()
{
    resetValues();
}

void AdvancedInsertController::insert()
{
    if (!m_manager)
        return;
    const QString end = m_closeTagButton->isChecked()
        ? QStringLiteral("</") + stringWithTagNameCase(m_manager->tagName()) + QLatin1Char('>')
        : QString();
    KELHTMLView* view = frontEditor();
    if (!view) {
        QApplication::beep(); // stays in step 2
        return;
    }
    insertAroundSelection(view, m_manager->insertString(), end, tr("Advanced Insert"));
    resetValues();
}

void AdvancedInsertController::windowWillClose()
{
    resetValues();
}
