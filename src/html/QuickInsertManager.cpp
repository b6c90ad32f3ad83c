#include "html/QuickInsertManager.h"

#include "support/DefaultsKeys.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"

#include <QFile>
#include <QStringDecoder>

namespace {

std::unique_ptr<QuickInsertManager>& sharedSlot()
{
    static std::unique_ptr<QuickInsertManager> manager;
    return manager;
}

struct FactoryFolder
{
    const char* name;
    const char* entities;
};

const FactoryFolder factoryFolders[] = {
    { "International Vowels (lowercase)",
        "agrave aacute acirc atilde auml aring egrave eacute ecirc euml igrave iacute icirc iuml ograve oacute ocirc "
        "otilde ouml ugrave uacute ucirc uuml" },
    { "International Vowels (uppercase)",
        "Agrave Aacute Acirc Atilde Auml Aring Egrave Eacute Ecirc Euml Igrave Iacute Icirc Iuml Ograve Oacute Ocirc "
        "Otilde Ouml Ugrave Uacute Ucirc Uuml" },
    { "International Letters", "AElig Ccedil ETH Ntilde Yacute THORN szlig aelig ccedil eth ntilde yacute thorn yuml" },
    { "Punctuation", "quot amp trade nbsp iexcl uml copy reg deg acute para iquest" },
    { "Mathematics",
        "lt gt plusmn sup1 sup2 sup3 micro frac14 frac12 frac34 divide forall part exist empty nabla isin notin ni "
        "prod sum minus lowast radic prop" },
    { "Mathematics 2",
        "infin ang and or cap cup int there4 sim cong asymp ne equiv le ge sub sup nsub sube supe oplus otimes perp "
        "sdot" },
    { "Greek (lowercase)",
        "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho sigma sigmaf tau "
        "upsilon phi chi psi omega" },
    { "Greek (uppercase)",
        "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota Kappa Lambda Mu Nu Xi Omicron Pi Rho Sigma Tau Upsilon "
        "Phi Chi Psi Omega" },
};

// The characters shown for the factory leaves, one per index; empty when the
// resource cannot be read.
QString factoryCharacters()
{
    QFile file(kit::resourcePath(QStringLiteral("quickinsert.txt")));
    if (!file.open(QIODevice::ReadOnly)) {
        kit::log(QStringLiteral("Quick Insert: the resource quickinsert.txt could not be read"));
        return QString();
    }
    QStringDecoder decode(QStringConverter::Utf16);
    const QString text = decode(file.readAll());
    if (decode.hasError() || text.size() < 167) {
        kit::log(QStringLiteral("Quick Insert: the resource quickinsert.txt holds fewer than 167 characters"));
        return QString();
    }
    return text;
}

} // namespace

QuickInsertManager& QuickInsertManager::sharedInstance()
{
    std::unique_ptr<QuickInsertManager>& slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<QuickInsertManager>();
    return *slot;
}

void QuickInsertManager::resetSharedInstanceForTesting() { sharedSlot().reset(); }

std::unique_ptr<QuickInsertItem> QuickInsertManager::defaultItems()
{
    const QString chars = factoryCharacters();
    auto root = QuickInsertItem::folderWithName(QStringLiteral("Symbols"));
    const QHash<QString, int> outOfTurn { { QStringLiteral("igrave"), 163 }, { QStringLiteral("iacute"), 164 },
        { QStringLiteral("icirc"), 165 }, { QStringLiteral("ouml"), 166 } };
    const QHash<QString, QString> suffixes { { QStringLiteral("sup1"), QStringLiteral(" (superscript 1)") },
        { QStringLiteral("sup2"), QStringLiteral(" (superscript 2)") },
        { QStringLiteral("sup3"), QStringLiteral(" (superscript 3)") },
        { QStringLiteral("sdot"), QStringLiteral(" (dot operator)") } };
    int index = 0;
    for (const FactoryFolder& f : factoryFolders) {
        QuickInsertItem* folder
            = root->insertSubItem(QuickInsertItem::folderWithName(QString::fromUtf8(f.name)), -1);
        if (chars.isEmpty())
            continue;
        QStringList names, texts;
        for (const QString& entity : QString::fromLatin1(f.entities).split(QLatin1Char(' '))) {
            QString name;
            if (entity == QLatin1String("quot")) {
                name = QStringLiteral("\"");
            } else if (entity == QLatin1String("trade")) {
                name = QStringLiteral("Trademark");
            } else if (entity == QLatin1String("nbsp")) {
                name = QStringLiteral("Nonbreaking Space");
            } else {
                const int at = outOfTurn.value(entity, -1) >= 0 ? outOfTurn.value(entity) : index++;
                name = chars.at(at) + suffixes.value(entity);
            }
            names.append(name);
            texts.append(QLatin1Char('&') + entity + QLatin1Char(';'));
        }
        folder->addSubItemsWithNames(names, texts);
    }
    return root;
}

QVariantMap QuickInsertManager::defaultItemsArchive() { return defaultItems()->archive(); }

QuickInsertManager::QuickInsertManager()
{
    m_rootItem = QuickInsertItem::fromArchive(kit::UserDefaults::standard().value(KELQuickInsertItemsKey));
    if (!m_rootItem || !m_rootItem->isFolder()) {
        if (kit::UserDefaults::standard().hasPersistentValue(KELQuickInsertItemsKey))
            kit::log(QStringLiteral("Quick Insert: the stored items could not be read; the factory items are used"));
        m_rootItem = defaultItems();
    }
    m_rootItem->updateParents(nullptr);
}

void QuickInsertManager::archiveItems()
{
    kit::UserDefaults::standard().setValue(KELQuickInsertItemsKey, m_rootItem->archive());
}

void QuickInsertManager::noteChange()
{
    m_hasChanged = true;
    archiveItems();
    Q_EMIT itemsChanged();
}

QuickInsertItem* QuickInsertManager::addQuickInsert(QuickInsertItem* selected)
{
    QuickInsertItem* target = m_rootItem.get();
    if (selected)
        target = selected->isFolder() ? selected : (selected->parent() ? selected->parent() : m_rootItem.get());
    QuickInsertItem* item = target->addSubItemWithText(QStringLiteral("Untitled"), QStringLiteral("Untitled"));
    noteChange();
    return item;
}

QuickInsertItem* QuickInsertManager::addQuickInsertFolder()
{
    QuickInsertItem* folder
        = m_rootItem->insertSubItem(QuickInsertItem::folderWithName(QStringLiteral("Untitled")), -1);
    noteChange();
    return folder;
}

void QuickInsertManager::deleteItems(const QList<QuickInsertItem*>& items)
{
    // Items inside another deleted item go with it.
    for (QuickInsertItem* item : draggableItems(items))
        if (item && item->parent())
            item->parent()->removeObject(item);
    noteChange();
}

bool QuickInsertManager::setValue(QuickInsertItem* item, int column, const QString& value)
{
    if (!item)
        return false;
    if (column == 0) {
        item->setName(value);
    } else if (item->isFolder()) {
        return value.isEmpty();
    } else {
        item->setText(value);
    }
    noteChange();
    return true;
}

QList<QuickInsertItem*> QuickInsertManager::draggableItems(const QList<QuickInsertItem*>& items)
{
    QList<QuickInsertItem*> out;
    for (QuickInsertItem* item : items) {
        bool inside = false;
        for (QuickInsertItem* other : items)
            if (other != item && other->containsItem(item))
                inside = true;
        if (!inside && !out.contains(item))
            out.append(item);
    }
    return out;
}

bool QuickInsertManager::validateDrop(
    const QList<QuickInsertItem*>& dragged, QuickInsertItem** target, qsizetype* index) const
{
    if (dragged.isEmpty())
        return false;
    QuickInsertItem* t = *target;
    for (const QuickInsertItem* item : dragged)
        if (t && item->containsItem(t))
            return false;
    if (t && !t->isFolder()) {
        QuickInsertItem* parent = t->parent();
        *index = parent ? parent->indexOfSubItem(t) + 1 : -1;
        *target = parent == m_rootItem.get() ? nullptr : parent;
    }
    return true;
}

QList<QuickInsertItem*> QuickInsertManager::acceptDrop(
    const QList<QuickInsertItem*>& draggedItems, QuickInsertItem* target, qsizetype index)
{
    QuickInsertItem* into = target ? target : m_rootItem.get();
    const QList<QuickInsertItem*> dragged = draggableItems(draggedItems);
    // Copies go in first, the originals come out after: the index stays valid.
    QList<QuickInsertItem*> moved;
    qsizetype at = index < 0 ? qsizetype(into->subItems().size()) : index;
    for (const QuickInsertItem* item : dragged)
        moved.append(into->insertSubItem(item->copy(), at++));
    for (QuickInsertItem* item : dragged)
        if (item->parent())
            item->parent()->removeObject(item);
    noteChange();
    return moved;
}
