#include "support/KELEncodingManager.h"

#include "support/DefaultsKeys.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/KELEncodingPopUpButtonCell.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr quint32 CoreASCII = 0x0600;
constexpr quint32 CoreUnicode = 0x0100;
constexpr quint32 CoreUTF8 = 0x08000100;

} // namespace

KELEncodingManager::KELEncodingManager() = default;

QDialog* KELEncodingManager::panel() const
{
    return m_panel.data();
}

QListWidget* KELEncodingManager::encodingMatrix() const
{
    return m_matrix.data();
}

KELEncodingManager& KELEncodingManager::sharedInstance()
{
    static KELEncodingManager* instance = new KELEncodingManager; // lives as long as the process
    return *instance;
}

std::optional<QString> KELEncodingManager::nameForEncoding(kit::StringEncoding encoding)
{
    if (encoding == kit::ASCIIStringEncoding)
        return QStringLiteral("Plain Text (ASCII)");
    const QString name = kit::localizedNameOfStringEncoding(encoding);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> KELEncodingManager::IANANameForEncoding(kit::StringEncoding encoding)
{
    if (encoding == kit::NoEncoding)
        return std::nullopt;
    const QString name = kit::ianaCharsetName(encoding);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

int KELEncodingManager::compareCoreEncodings(quint32 a, quint32 b)
{
    if (a == b)
        return 0;
    if (a == CoreASCII)
        return -1;
    if (b == CoreASCII)
        return 1;
    const quint32 ma = kit::mostCompatibleMacStringEncoding(a);
    const quint32 mb = kit::mostCompatibleMacStringEncoding(b);
    if (ma == CoreUnicode || mb == CoreUnicode) {
        if (ma == CoreUnicode && mb == CoreUnicode)
            return a < b ? -1 : 1;
        return ma == CoreUnicode ? -1 : 1;
    }
    if (ma != mb)
        return ma < mb ? -1 : 1;
    return a < b ? -1 : 1;
}

QList<kit::StringEncoding> KELEncodingManager::allAvailableStringEncodings()
{
    static const QList<kit::StringEncoding> all = [] {
        QList<quint32> cores;
        for (kit::StringEncoding encoding : kit::availableStringEncodings()) {
            const quint32 core = kit::coreStringEncoding(encoding);
            if (core != kit::InvalidCoreStringEncoding && !cores.contains(core))
                cores.append(core);
        }
        std::stable_sort(cores.begin(), cores.end(),
                         [](quint32 a, quint32 b) { return compareCoreEncodings(a, b) < 0; });
        QList<kit::StringEncoding> result;
        for (quint32 core : cores) {
            const kit::StringEncoding encoding = kit::stringEncodingFromCore(core);
            if (encoding != 0 && encoding != kit::NoEncoding && nameForEncoding(encoding) && !result.contains(encoding))
                result.append(encoding);
        }
        return result;
    }();
    return all;
}

QList<kit::StringEncoding> KELEncodingManager::enabledEncodings()
{
    if (m_encodings)
        return *m_encodings;
    QList<kit::StringEncoding> list;
    const QVariant stored = kit::UserDefaults::standard().value(KELDefaultEncodingsKey);
    if (stored.isValid()) {
        for (const QVariant& number : stored.toList()) {
            bool ok = false;
            const kit::StringEncoding encoding = number.toULongLong(&ok);
            if (ok)
                list.append(encoding);
        }
    } else {
        for (quint32 core : {CoreASCII, CoreUnicode, CoreUTF8}) {
            const kit::StringEncoding encoding = kit::stringEncodingFromCore(core);
            if (encoding != 0 && encoding != kit::NoEncoding)
                list.append(encoding);
        }
    }
    m_encodings = list;
    return list;
}

void KELEncodingManager::setupPopUpCell(KELEncodingPopUpButtonCell* cell, kit::StringEncoding selectedEncoding,
                                        bool withDefaultEntry)
{
    QList<kit::StringEncoding> list = enabledEncodings();
    const QSignalBlocker blocker(cell);
    cell->removeNonPermanentMenuItems();
    if (withDefaultEntry) {
        cell->addItem(tr("Automatic"));
        const int index = cell->count() - 1;
        cell->setItemData(index, QVariant::fromValue<quint64>(kit::NoEncoding), KELEncodingPopUpButtonCell::EncodingRole);
        cell->setItemData(index, -1, KELEncodingPopUpButtonCell::TagRole);
    } else if (selectedEncoding != 0 && selectedEncoding != kit::NoEncoding && !list.contains(selectedEncoding)) {
        // The encoding in use is always shown, enabled or not.
        list.append(selectedEncoding);
    }
    int selectedIndex = -1;
    for (kit::StringEncoding encoding : list) {
        cell->addItem(nameForEncoding(encoding).value_or(tr("Encoding %1").arg(encoding)));
        const int index = cell->count() - 1;
        cell->setItemData(index, QVariant::fromValue<quint64>(encoding), KELEncodingPopUpButtonCell::EncodingRole);
    }
    for (int i = 0; i < cell->count() && selectedIndex < 0; ++i) {
        const QVariant data = cell->itemData(i, KELEncodingPopUpButtonCell::EncodingRole);
        if (data.isValid() && data.toULongLong() == selectedEncoding)
            selectedIndex = i;
    }
    if (selectedIndex < 0)
        selectedIndex = 0;
    if (cell->count() > 0)
        cell->insertSeparator(cell->count());
    cell->addItem(tr("Customize Encodings List\u2026"));
    cell->setCurrentIndex(-1);
    cell->selectItemAtIndex(selectedIndex);
}

void KELEncodingManager::noteEncodingListChange(bool writeDefaults, bool updateList, bool postNotification)
{
    const QList<kit::StringEncoding> list = enabledEncodings();
    if (writeDefaults) {
        QVariantList numbers;
        for (kit::StringEncoding encoding : list)
            numbers.append(qlonglong(encoding));
        kit::UserDefaults::standard().setValue(KELDefaultEncodingsKey, numbers);
    }
    if (updateList && m_matrix) {
        const QSignalBlocker blocker(m_matrix.data());
        for (int row = 0; row < m_matrix->count(); ++row) {
            QListWidgetItem* item = m_matrix->item(row);
            const kit::StringEncoding encoding = item->data(Qt::UserRole).toULongLong();
            item->setCheckState(list.contains(encoding) ? Qt::Checked : Qt::Unchecked);
        }
    }
    if (postNotification)
        kit::NotificationCenter::defaultCenter().post(KELEncodingsListChangedNotification);
}

void KELEncodingManager::buildPanel()
{
    auto* panel = new QDialog(nullptr, Qt::Tool);
    panel->setObjectName(QStringLiteral("SelectEncodingsPanel"));
    panel->setWindowTitle(tr("Customize Encodings List"));
    auto* layout = new QVBoxLayout(panel);
    auto* matrix = new QListWidget(panel);
    matrix->setObjectName(QStringLiteral("encodingMatrix"));
    layout->addWidget(matrix);
    auto* buttons = new QHBoxLayout;
    auto addButton = [&](const QString& title, const QString& name, void (KELEncodingManager::*action)()) {
        auto* button = new QPushButton(title, panel);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
    };
    addButton(tr("Clear All"), QStringLiteral("clearAll"), &KELEncodingManager::clearAll);
    addButton(tr("Select All"), QStringLiteral("selectAll"), &KELEncodingManager::selectAll);
    addButton(tr("Revert to Default"), QStringLiteral("revertToDefault"), &KELEncodingManager::revertToDefault);
    buttons->addStretch();
    auto* close = new QPushButton(tr("Close"), panel);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, panel, &QDialog::close);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(matrix, &QListWidget::itemChanged, this, [this] { encodingListChanged(); });
    panel->resize(420, 480);
    m_panel = panel;
    m_matrix = matrix;
}

void KELEncodingManager::showPanel()
{
    if (!m_panel)
        buildPanel();
    // Usable from inside modal dialogs (the Open and Save dialogs' pop-ups lead here).
    if (!m_panel->isVisible())
        m_panel->setWindowModality(QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal);
    setupEncodingsList();
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void KELEncodingManager::setupEncodingsList()
{
    if (!m_matrix)
        return;
    const QSignalBlocker blocker(m_matrix.data());
    const QList<kit::StringEncoding> all = allAvailableStringEncodings();
    while (m_matrix->count() < all.size())
        m_matrix->addItem(new QListWidgetItem);
    while (m_matrix->count() > all.size())
        delete m_matrix->takeItem(m_matrix->count() - 1);
    for (int row = 0; row < all.size(); ++row) {
        QListWidgetItem* item = m_matrix->item(row);
        item->setText(*nameForEncoding(all[row]));
        item->setData(Qt::UserRole, QVariant::fromValue<quint64>(all[row]));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    }
    noteEncodingListChange(false, true, false);
}

void KELEncodingManager::encodingListChanged()
{
    if (!m_matrix)
        return;
    QList<kit::StringEncoding> list;
    for (int row = 0; row < m_matrix->count(); ++row) {
        const QListWidgetItem* item = m_matrix->item(row);
        const kit::StringEncoding encoding = item->data(Qt::UserRole).toULongLong();
        if (encoding != kit::NoEncoding && item->checkState() == Qt::Checked)
            list.append(encoding);
    }
    m_encodings = list;
    noteEncodingListChange(true, false, true);
}

void KELEncodingManager::clearAll()
{
    m_encodings = QList<kit::StringEncoding>();
    noteEncodingListChange(true, true, true);
}

void KELEncodingManager::selectAll()
{
    m_encodings = allAvailableStringEncodings();
    noteEncodingListChange(true, true, true);
}

void KELEncodingManager::revertToDefault()
{
    m_encodings.reset();
    kit::UserDefaults::standard().removeValue(KELDefaultEncodingsKey);
    enabledEncodings();
    noteEncodingListChange(false, true, true);
}

void KELEncodingManager::resetForTesting()
{
    m_encodings.reset();
    if (m_panel) {
        delete m_panel.data();
    }
}
