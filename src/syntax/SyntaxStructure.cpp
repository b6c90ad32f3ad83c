#include "syntax/SyntaxStructure.h"

#include "kit/Log.h"
#include "syntax/SyntaxStructureMatch.h"
#include "syntax/SyntaxXML.h"

#include <QHash>
#include <QMutex>

namespace {

quint64 readOccurs(const QString& text)
{
    if (text.isNull())
        return 1;
    if (text == QLatin1String("unlimited"))
        return SyntaxUnlimited;
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    return (ok && v >= 0) ? quint64(v) : 1;
}

std::unique_ptr<std::vector<std::unique_ptr<SyntaxStructure>>> readStructures(const SyntaxXMLNode& node)
{
    auto list = std::make_unique<std::vector<std::unique_ptr<SyntaxStructure>>>();
    for (const SyntaxXMLNode& child : node.childNodes())
        list->push_back(std::make_unique<SyntaxStructure>(child));
    return list;
}

int idOfName(const QString& name)
{
    static QMutex mutex;
    static QHash<QString, int> ids;
    QMutexLocker lock(&mutex);
    auto it = ids.constFind(name);
    if (it != ids.constEnd())
        return it.value();
    const int id = int(ids.size()) + 1;
    ids.insert(name, id);
    return id;
}

} // namespace

SyntaxStructure::SyntaxStructure()
    : m_nameId(idOfName(QString()))
{
}
SyntaxStructure::~SyntaxStructure() = default;

SyntaxStructure::SyntaxStructure(const SyntaxXMLNode& node)
{
    m_minOccurs = readOccurs(node.valueForAttribute("minOccurs"));
    m_maxOccurs = readOccurs(node.valueForAttribute("maxOccurs"));
    const QString ref = node.valueForAttribute("ref");
    if (!ref.isNull()) {
        m_isReference = true;
        m_name = ref;
    } else {
        m_name = node.valueForAttribute("name");
    }
    m_nameId = idOfName(m_name);
    for (const SyntaxXMLNode& child : node.childNodes()) {
        const QString name = child.nodeName();
        if (name == QLatin1String("interrupt")) {
            m_interrupts.append(SyntaxStructureInterrupt(
                child.valueForAttribute("ref"), child.valueForAttribute("nests") == QLatin1String("true")));
        } else if (name == QLatin1String("start")) {
            m_excludeStartFromBody = child.valueForAttribute("excludeFromBody") != QLatin1String("false");
            const SyntaxXMLNode first = child.firstChild();
            if (first.nodeName() == QLatin1String("match")) {
                m_startStructureMatch = std::make_unique<SyntaxStructureMatch>(first);
                m_start.reset();
            } else if (first.nodeName() == QLatin1String("text")) {
                m_start = std::make_unique<SyntaxStructureText>(first);
                m_startStructureMatch.reset();
            }
        } else if (name == QLatin1String("end")) {
            // Read as a text element whatever its name.
            const SyntaxXMLNode first = child.firstChild();
            if (!first.isNull())
                m_end = std::make_unique<SyntaxStructureText>(first);
        } else if (name == QLatin1String("type")) {
            m_typeRef = child.valueForAttribute("ref");
        } else if (name == QLatin1String("text")) {
            m_text = std::make_unique<SyntaxStructureText>(child);
        } else if (name == QLatin1String("sequence")) {
            m_sequence = readStructures(child);
        } else if (name == QLatin1String("option")) {
            m_option = readStructures(child);
        } else {
            kit::log(QStringLiteral("Error: unrecognized structure child %1")
                         .arg(child.isText() ? QStringLiteral("(text)") : name));
        }
    }
}

void SyntaxStructure::setName(const QString& name)
{
    m_name = name;
    m_nameId = idOfName(name);
}

const SyntaxStructure* SyntaxStructure::startStructure()
{
    static const SyntaxStructure* s = [] {
        auto* st = new SyntaxStructure; // lives for the process
        st->setName(QStringLiteral("start"));
        return st;
    }();
    return s;
}

const SyntaxStructure* SyntaxStructure::endStructure()
{
    static const SyntaxStructure* s = [] {
        auto* st = new SyntaxStructure; // lives for the process
        st->setName(QStringLiteral("end"));
        return st;
    }();
    return s;
}

void SyntaxStructure::setStartStructureMatch(std::unique_ptr<SyntaxStructureMatch> match)
{
    m_startStructureMatch = std::move(match);
}

void SyntaxStructure::setInterruptStructures(const QSet<const SyntaxStructure*>& structures)
{
    m_interruptStructures = structures;
    m_interruptArrayStorage.assign(structures.begin(), structures.end());
    m_interruptArray = m_interruptArrayStorage.data();
    m_interruptCount = qsizetype(m_interruptArrayStorage.size());
}

qsizetype SyntaxStructure::maxStartEndLength() const
{
    const qsizetype s = m_start ? m_start->maxLength() : 1;
    const qsizetype e = m_end ? m_end->maxLength() : 1;
    return std::max<qsizetype>({ s, e, 1 });
}

bool SyntaxStructure::canNest(const SyntaxStructure* structure) const
{
    if (!structure)
        return false;
    for (const SyntaxStructureInterrupt& i : m_interrupts)
        if (i.canNest() && i.structureName() == structure->name())
            return true;
    return false;
}
