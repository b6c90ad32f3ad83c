#include "support/KELEncodingPopUpButtonCell.h"

#include "kit/NotificationCenter.h"
#include "support/KELEncodingManager.h"

KELEncodingPopUpButtonCell::KELEncodingPopUpButtonCell(QWidget* parent) : QComboBox(parent)
{
    init();
    KELEncodingManager::sharedInstance().setupPopUpCell(this, kit::NoEncoding, false);
}

KELEncodingPopUpButtonCell::KELEncodingPopUpButtonCell(bool withAutomaticEntry, kit::StringEncoding selectedEncoding,
                                                       QWidget* parent)
    : QComboBox(parent)
{
    init();
    KELEncodingManager::sharedInstance().setupPopUpCell(this, selectedEncoding, withAutomaticEntry);
}

void KELEncodingPopUpButtonCell::init()
{
    kit::NotificationCenter::defaultCenter().addObserver(
        KELEncodingsListChangedNotification, nullptr, [this](const kit::Notification&) { encodingsListChanged(); },
        this);
    connect(this, &QComboBox::currentIndexChanged, this, &KELEncodingPopUpButtonCell::indexChanged);
}

void KELEncodingPopUpButtonCell::encodingsListChanged()
{
    const bool withAutomatic = count() > 0 && itemData(0, TagRole).toInt() == -1;
    KELEncodingManager::sharedInstance().setupPopUpCell(this, selectedEncoding(), withAutomatic);
}

bool KELEncodingPopUpButtonCell::isSelectable(int index) const
{
    // The last two items are the separator and the customize item.
    return index >= 0 && index + 2 < count();
}

void KELEncodingPopUpButtonCell::selectItemAtIndex(int index)
{
    if (!isSelectable(index))
        return;
    m_lastIndex = index;
    setCurrentIndex(index);
}

kit::StringEncoding KELEncodingPopUpButtonCell::selectedEncoding() const
{
    const int index = currentIndex();
    if (!isSelectable(index))
        return kit::NoEncoding;
    const QVariant data = itemData(index, EncodingRole);
    return data.isValid() ? data.toULongLong() : kit::NoEncoding;
}

void KELEncodingPopUpButtonCell::removeNonPermanentMenuItems()
{
    for (int i = count() - 1; i >= 0; --i) {
        if (!itemData(i, PermanentRole).toBool())
            removeItem(i);
    }
    m_lastIndex = -1;
}

void KELEncodingPopUpButtonCell::addPermanentItem(const QString& title, const QVariant& encoding)
{
    addItem(title);
    const int index = count() - 1;
    setItemData(index, true, PermanentRole);
    if (encoding.isValid())
        setItemData(index, encoding, EncodingRole);
}

void KELEncodingPopUpButtonCell::indexChanged(int index)
{
    if (m_reverting)
        return;
    if (index >= 0 && !isSelectable(index)) {
        // Choosing the customize item opens the panel; it never becomes the selection.
        m_reverting = true;
        setCurrentIndex(m_lastIndex);
        m_reverting = false;
        if (index == count() - 1)
            KELEncodingManager::sharedInstance().showPanel();
        return;
    }
    m_lastIndex = index;
}
