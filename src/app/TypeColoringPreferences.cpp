#include "app/TypeColoringPreferences.h"

#include "htmlui/QuickInsertPreferences.h"
#include "support/HelpUtils.h"
#include "support/PreferenceController2.h"
#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
void paintWell(QPushButton* well, const QColor& color)
{
    well->setProperty("color", color);
    well->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #888;").arg(color.name()));
}
} // namespace

std::unique_ptr<TypeColoringPreferences> TypeColoringPreferences::create(SyntaxType* type)
{
    if (!type || type->coloringStyles().empty())
        return nullptr;
    return std::unique_ptr<TypeColoringPreferences>(new TypeColoringPreferences(type));
}

TypeColoringPreferences::TypeColoringPreferences(SyntaxType* type)
    : m_typeName(type->typeName())
{
    setObjectName(QStringLiteral("TypeColoringPreferences:") + m_typeName);
    auto* layout = new QVBoxLayout(this);
    // Style buttons only when there is a choice.
    if (type->coloringStyles().size() >= 2) {
        m_styles = new QButtonGroup(this);
        auto* row = new QHBoxLayout;
        int i = 0;
        for (const auto& style : type->coloringStyles()) {
            auto* button = new QRadioButton(style->name(), this);
            m_styles->addButton(button, i++);
            row->addWidget(button);
        }
        row->addStretch();
        layout->addLayout(row);
        connect(m_styles, &QButtonGroup::idClicked, this, [this](int id) { styleChange(id); });
    }
    m_enable = new QCheckBox(tr("Enable %1 Coloring").arg(m_typeName), this);
    layout->addWidget(m_enable);
    connect(m_enable, &QCheckBox::toggled, this, [this](bool on) { enableColoringChange(on); });
    m_table = new QTableWidget(0, 2, this);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->setColumnWidth(1, 60);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_table, 1);
    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(tr("Reset to Defaults"), this);
    connect(reset, &QPushButton::clicked, this, [this] { resetToDefaults(); });
    auto* help = new QPushButton(tr("Help"), this);
    connect(help, &QPushButton::clicked, this, [] { HelpUtils::showHelpForKey(QStringLiteral("KELColoringHelpKey")); });
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(help);
    layout->addLayout(buttons);
    initializeControlValuesFromDefaults();
}

SyntaxType* TypeColoringPreferences::type() const { return SyntaxManager::sharedInstance().typeForName(m_typeName); }

int TypeColoringPreferences::compare(const TypeColoringPreferences& other) const
{
    return QString::compare(m_typeName, other.m_typeName, Qt::CaseInsensitive);
}

void TypeColoringPreferences::initializeControlValuesFromDefaults()
{
    SyntaxType* t = type();
    if (!t)
        return;
    if (m_styles) {
        // The style in use, which is the type's default until one is chosen (nothing stored).
        const SyntaxColoringStyle* current = t->currentStyle();
        int i = 0;
        for (const auto& style : t->coloringStyles()) {
            if (QAbstractButton* b = m_styles->button(i))
                b->setChecked(style.get() == current);
            ++i;
        }
    }
    {
        const QSignalBlocker block(m_enable);
        m_enable->setChecked(t->coloringEnabled());
    }
    updateColorSelections();
    updateEnabledControls();
}

void TypeColoringPreferences::updateColorSelections()
{
    SyntaxType* t = type();
    m_groups = t ? SyntaxManager::sharedInstance().sortedColoringGroupsForStyle(t->currentStyle(), t)
                 : QList<ColoringGroup*>();
    m_table->setRowCount(int(m_groups.size()));
    for (int row = 0; row < int(m_groups.size()); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(m_groups[row]->name()));
        auto* well = new QPushButton(m_table);
        well->setObjectName(QStringLiteral("colorWell"));
        well->setAccessibleName(tr("Colour of %1").arg(m_groups[row]->name()));
        paintWell(well, m_groups[row]->color());
        connect(well, &QPushButton::clicked, this, [this, row, well] {
            const QColor color = QColorDialog::getColor(well->property("color").value<QColor>(), this);
            if (color.isValid())
                setColor(row, color);
        });
        m_table->setCellWidget(row, 1, well);
    }
    updateEnabledControls();
}

void TypeColoringPreferences::updateEnabledControls()
{
    SyntaxType* t = type();
    const bool on = t && t->coloringEnabled();
    if (m_styles)
        for (QAbstractButton* b : m_styles->buttons())
            b->setEnabled(on);
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (QWidget* well = m_table->cellWidget(row, 1))
            well->setEnabled(on);
}

void TypeColoringPreferences::styleChange(int index)
{
    SyntaxType* t = type();
    if (!t || index < 0 || index >= int(t->coloringStyles().size()))
        return;
    t->setCurrentStyleName(t->coloringStyles()[size_t(index)]->name());
    updateColorSelections();
    PreferenceController2::sharedInstance().sendColoringNotification();
}

void TypeColoringPreferences::enableColoringChange(bool on)
{
    if (SyntaxType* t = type())
        t->setColoringEnabled(on);
    updateEnabledControls();
    PreferenceController2::sharedInstance().sendColoringNotification();
}

void TypeColoringPreferences::setColor(int row, const QColor& color)
{
    if (row < 0 || row >= m_groups.size())
        return;
    m_groups[row]->setColor(color);
    if (auto* well = qobject_cast<QPushButton*>(m_table->cellWidget(row, 1)))
        paintWell(well, color);
    // Text coloured before keeps its old colour unless documents re-colour now.
    PreferenceController2::sharedInstance().sendColoringNotification();
}

void TypeColoringPreferences::resetToDefaults()
{
    if (SyntaxType* t = type())
        SyntaxManager::sharedInstance().resetToDefaults(t);
    initializeControlValuesFromDefaults();
    PreferenceController2::sharedInstance().sendColoringNotification();
}

CodeCompletionPreferences::CodeCompletionPreferences()
{
    setObjectName(QStringLiteral("CodeCompletionPreferences"));
    for (SyntaxType* type : SyntaxManager::sharedInstance().allTypes()) {
        if (!type->supportsCodeCompletion())
            continue;
        SyntaxType* root = type->ancestorType();
        if (root && !m_types.contains(root))
            m_types.append(root);
    }
    std::sort(m_types.begin(), m_types.end(), [](SyntaxType* a, SyntaxType* b) {
        return QString::compare(a->typeName(), b->typeName(), Qt::CaseInsensitive) < 0;
    });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Code completion:"), this));
    m_table = new QTableWidget(int(m_types.size()), 2, this);
    m_table->setHorizontalHeaderLabels({ tr("Language"), tr("Completion") });
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < int(m_types.size()); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(m_types[row]->typeName()));
        auto* mode = new QComboBox(m_table);
        mode->addItems({ tr("Automatic"), tr("Manual") });
        mode->setCurrentIndex(m_types[row]->usesAutoCompletion() ? 0 : 1);
        connect(mode, &QComboBox::activated, this, [this, row](int index) { setCompletionMode(row, index); });
        m_table->setCellWidget(row, 1, mode);
    }
    m_table->setMinimumHeight(std::min(200, 30 + 26 * int(m_types.size())));
    layout->addWidget(m_table);
}

void CodeCompletionPreferences::setCompletionMode(int row, int mode)
{
    if (row < 0 || row >= m_types.size())
        return;
    m_types[row]->setUsesAutoCompletion(mode == 0);
    if (auto* combo = qobject_cast<QComboBox*>(m_table->cellWidget(row, 1)))
        combo->setCurrentIndex(mode == 0 ? 0 : 1);
}

void KELInstallSyntaxPreferencePanes()
{
    PreferenceController2::windowDidLoadHandler() = [](PreferenceController2& prefs) {
        std::vector<std::unique_ptr<TypeColoringPreferences>> panes;
        for (SyntaxType* root : SyntaxManager::sharedInstance().rootTypes())
            if (auto pane = TypeColoringPreferences::create(root))
                panes.push_back(std::move(pane));
        std::sort(panes.begin(), panes.end(), [](const auto& a, const auto& b) { return a->compare(*b) < 0; });
        for (auto& pane : panes) {
            // The name first: the pane goes to the window with release().
            const QString name = pane->typeName();
            prefs.addColoringPane(name, pane.release());
        }
        QWidget* window = prefs.window();
        if (auto* completion = window ? window->findChild<QWidget*>(QStringLiteral("completionControls")) : nullptr)
            if (completion->layout())
                completion->layout()->addWidget(new CodeCompletionPreferences);
        if (const PreferenceItem* symbols = prefs.itemWithIdentifier(QStringLiteral("KELQuickInsertPreferencesToolbarIdentifier")))
            if (symbols->view && symbols->view->layout()) {
                QLayout* layout = symbols->view->layout();
                while (QLayoutItem* item = layout->takeAt(0)) {
                    delete item->widget();
                    delete item;
                }
                layout->addWidget(new QuickInsertPreferences);
            }
    };
}
