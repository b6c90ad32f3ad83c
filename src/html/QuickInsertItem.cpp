#include "html/QuickInsertItem.h"

std::unique_ptr<QuickInsertItem> QuickInsertItem::itemWithName(const QString& name, const QString& text)
{
    auto item = std::make_unique<QuickInsertItem>();
    item->m_name = name;
    item->m_text = text.isNull() ? QStringLiteral("") : text;
    return item;
}

std::unique_ptr<QuickInsertItem> QuickInsertItem::folderWithName(const QString& name)
{
    auto item = std::make_unique<QuickInsertItem>();
    item->m_name = name;
    item->m_isFolder = true;
    return item;
}

void QuickInsertItem::updateParents(QuickInsertItem* parent)
{
    m_parent = parent;
    for (auto& child : m_subItems)
        child->updateParents(this);
}

std::unique_ptr<QuickInsertItem> QuickInsertItem::removeObject(const QuickInsertItem* item)
{
    for (auto it = m_subItems.begin(); it != m_subItems.end(); ++it) {
        if (it->get() == item) {
            std::unique_ptr<QuickInsertItem> taken = std::move(*it);
            m_subItems.erase(it);
            taken->m_parent = nullptr;
            return taken;
        }
    }
    return nullptr;
}

QuickInsertItem* QuickInsertItem::addSubItemWithText(const QString& text, const QString& name)
{
    return insertSubItem(itemWithName(name, text), -1);
}

void QuickInsertItem::addSubItemsWithNames(const QStringList& names, const QStringList& texts)
{
    for (qsizetype i = 0; i < names.size() && i < texts.size(); ++i)
        addSubItemWithText(texts[i], names[i]);
}

QuickInsertItem* QuickInsertItem::insertSubItem(std::unique_ptr<QuickInsertItem> item, qsizetype index)
{
    if (!item)
        return nullptr;
    if (index < 0 || index > qsizetype(m_subItems.size()))
        index = qsizetype(m_subItems.size());
    QuickInsertItem* raw = item.get();
    m_subItems.insert(m_subItems.begin() + index, std::move(item));
    raw->updateParents(this);
    return raw;
}

qsizetype QuickInsertItem::indexOfSubItem(const QuickInsertItem* item) const
{
    for (size_t i = 0; i < m_subItems.size(); ++i)
        if (m_subItems[i].get() == item)
            return qsizetype(i);
    return -1;
}

bool QuickInsertItem::containsItem(const QuickInsertItem* item) const
{
    for (const QuickInsertItem* p = item; p; p = p->m_parent)
        if (p == this)
            return true;
    return false;
}

std::unique_ptr<QuickInsertItem> QuickInsertItem::copy() const
{
    auto c = std::make_unique<QuickInsertItem>();
    c->m_name = m_name;
    c->m_text = m_text;
    c->m_isFolder = m_isFolder;
    for (const auto& child : m_subItems)
        c->insertSubItem(child->copy(), -1);
    return c;
}

QVariantMap QuickInsertItem::archive() const
{
    QVariantMap map { { QStringLiteral("name"), m_name }, { QStringLiteral("isFolder"), m_isFolder } };
    if (m_isFolder) {
        QVariantList children;
        for (const auto& child : m_subItems)
            children.append(child->archive());
        map.insert(QStringLiteral("subItems"), children);
    } else {
        map.insert(QStringLiteral("text"), m_text);
    }
    return map;
}

std::unique_ptr<QuickInsertItem> QuickInsertItem::fromArchive(const QVariant& archive)
{
    if (archive.typeId() != QMetaType::QVariantMap)
        return nullptr;
    const QVariantMap map = archive.toMap();
    if (!map.contains(QStringLiteral("name")))
        return nullptr;
    const QString name = map.value(QStringLiteral("name")).toString();
    if (!map.value(QStringLiteral("isFolder")).toBool())
        return itemWithName(name, map.value(QStringLiteral("text")).toString());
    auto folder = folderWithName(name);
    for (const QVariant& child : map.value(QStringLiteral("subItems")).toList())
        if (auto item = fromArchive(child))
            folder->insertSubItem(std::move(item), -1);
    return folder;
}
