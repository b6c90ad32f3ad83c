#pragma once
// One node of the Quick Insert tree: a folder, or a leaf whose text is inserted.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class QuickInsertItem
{
public:
    static std::unique_ptr<QuickInsertItem> itemWithName(const QString& name, const QString& text);
    static std::unique_ptr<QuickInsertItem> folderWithName(const QString& name);

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    /// A leaf's text; null for a folder.
    const QString& text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    bool isFolder() const { return m_isFolder; }
    const std::vector<std::unique_ptr<QuickInsertItem>>& subItems() const { return m_subItems; }
    QuickInsertItem* parent() const { return m_parent; }

    /// Re-links the subtree: this item's parent becomes `parent`, its children's it.
    void updateParents(QuickInsertItem* parent);
    /// Takes a sub-item out (by identity).
    std::unique_ptr<QuickInsertItem> removeObject(const QuickInsertItem* item);
    /// Appends a new leaf and answers it.
    QuickInsertItem* addSubItemWithText(const QString& text, const QString& name);
    /// One leaf per pair, up to the end of the shorter list.
    void addSubItemsWithNames(const QStringList& names, const QStringList& texts);
    /// Inserts a sub-item at the index (the end when out of range) and answers it.
    QuickInsertItem* insertSubItem(std::unique_ptr<QuickInsertItem> item, qsizetype index);
    qsizetype indexOfSubItem(const QuickInsertItem* item) const;
    /// Whether the item is this one or lies inside it.
    bool containsItem(const QuickInsertItem* item) const;

    std::unique_ptr<QuickInsertItem> copy() const;
    /// Our own archive: a map of name, text, isFolder and subItems.
    QVariantMap archive() const;
    /// Null for data that is not such an archive.
    static std::unique_ptr<QuickInsertItem> fromArchive(const QVariant& archive);

private:
    QString m_name;
    QString m_text;
    bool m_isFolder = false;
    std::vector<std::unique_ptr<QuickInsertItem>> m_subItems;
    QuickInsertItem* m_parent = nullptr;
};
