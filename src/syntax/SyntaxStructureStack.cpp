#include "syntax/SyntaxStructureStack.h"

#include <QHash>
#include <QMutex>
#include <array>
#include <vector>

namespace {

// Every stack seen so far, as a tree of (parent id, name) -> id.
struct StackIds {
    QMutex mutex;
    QHash<std::pair<int, QString>, int> children;
    std::vector<int> parents { 0 };

    int child(int parent, const QString& name)
    {
        QMutexLocker lock(&mutex);
        const auto key = std::make_pair(parent, name);
        auto it = children.constFind(key);
        if (it != children.constEnd())
            return it.value();
        const int id = int(parents.size());
        parents.push_back(parent);
        children.insert(key, id);
        return id;
    }
    int parent(int id)
    {
        QMutexLocker lock(&mutex);
        return id > 0 && size_t(id) < parents.size() ? parents[size_t(id)] : 0;
    }
};

StackIds& stackIds()
{
    static StackIds ids;
    return ids;
}

// The same few pushes come again and again: remember recent answers per thread,
// filed by the name's storage, taken only when parent and name are equal.
struct RecentChild {
    int parent = -1;
    QString name;
    int id = 0;
};
thread_local std::array<RecentChild, 256> t_recentChildren;

int childId(int parent, const QString& name)
{
    const size_t slot = (size_t(parent) * 0x9E3779B1u ^ (reinterpret_cast<quintptr>(name.constData()) >> 4)) & 255;
    RecentChild& recent = t_recentChildren[slot];
    if (recent.parent == parent && recent.name == name)
        return recent.id;
    const int id = stackIds().child(parent, name);
    recent = RecentChild { parent, name, id };
    return id;
}

} // namespace

SyntaxStructureStack::SyntaxStructureStack(const QString& string)
{
    if (string.isEmpty())
        return;
    for (const QString& name : string.split(QLatin1Char('.')))
        pushStructureName(name);
}

QString SyntaxStructureStack::stackString() const
{
    if (m_stack.isEmpty())
        return QString();
    return m_stack.join(QLatin1Char('.'));
}

void SyntaxStructureStack::pushStructureName(const QString& name)
{
    m_stack.append(name);
    m_id = childId(m_id, name);
}

QString SyntaxStructureStack::popStructureName()
{
    if (m_stack.isEmpty())
        return QString();
    m_id = m_stack.size() == 1 ? 0 : stackIds().parent(m_id);
    return m_stack.takeLast();
}
