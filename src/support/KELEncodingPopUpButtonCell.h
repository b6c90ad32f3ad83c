#pragma once
// The encoding pop-up shown wherever the user picks a text encoding. It refills
// itself whenever the enabled encodings change, keeping its selection.

#include "kit/Types.h"

#include <QComboBox>

class KELEncodingPopUpButtonCell : public QComboBox {
    Q_OBJECT
public:
    /// Item data roles: the encoding, the tag (-1 for "Automatic") and the
    /// mark of items a refill keeps.
    static constexpr int EncodingRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;
    static constexpr int PermanentRole = Qt::UserRole + 2;

    /// A pop-up filled with the enabled encodings, nothing selected and no "Automatic" entry.
    explicit KELEncodingPopUpButtonCell(QWidget* parent = nullptr);
    /// A pop-up with an "Automatic" entry first when withAutomaticEntry.
    KELEncodingPopUpButtonCell(bool withAutomaticEntry, kit::StringEncoding selectedEncoding,
                               QWidget* parent = nullptr);

    /// Refills, keeping the selected encoding and the "Automatic" entry.
    void encodingsListChanged();

    /// Selects only items above the separator (never the separator or the customize item).
    void selectItemAtIndex(int index);
    /// The selected item's encoding; NoEncoding for "Automatic" or no selection.
    kit::StringEncoding selectedEncoding() const;

    /// Removes, from the last item up, every item not marked permanent.
    void removeNonPermanentMenuItems();
    /// Adds an item that refills keep.
    void addPermanentItem(const QString& title, const QVariant& encoding = {});

private:
    void init();
    void indexChanged(int index);
    bool isSelectable(int index) const;

    int m_lastIndex = -1;
    bool m_reverting = false;
};
