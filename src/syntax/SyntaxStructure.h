#pragma once
// One structure of a grammar: how it starts and ends, what it contains, which
// structures may interrupt it, and which nested syntax type colours its body.

#include "syntax/SyntaxStructureInterrupt.h"
#include "syntax/SyntaxStructureText.h"

#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;
class SyntaxStructureMatch;

class SyntaxStructure
{
public:
    SyntaxStructure();
    explicit SyntaxStructure(const SyntaxXMLNode& node);
    ~SyntaxStructure();
    SyntaxStructure(const SyntaxStructure&) = delete;
    SyntaxStructure& operator=(const SyntaxStructure&) = delete;

    /// Shared structures named "start" and "end": matched start and end texts are
    /// recorded as nodes of these, so patterns can name them.
    static const SyntaxStructure* startStructure();
    static const SyntaxStructure* endStructure();

    const QString& name() const { return m_name; }
    /// A small id of the name, the same for every structure of that name in the
    /// process: names compare without comparing strings.
    int nameId() const { return m_nameId; }
    bool isReference() const { return m_isReference; }
    quint64 minOccurs() const { return m_minOccurs; }
    quint64 maxOccurs() const { return m_maxOccurs; }
    bool excludeStartFromBody() const { return m_excludeStartFromBody; }
    const SyntaxStructureMatch* startStructureMatch() const { return m_startStructureMatch.get(); }
    const SyntaxStructureText* start() const { return m_start.get(); }
    const SyntaxStructureText* end() const { return m_end.get(); }
    const SyntaxStructureText* text() const { return m_text.get(); }
    const QString& typeRef() const { return m_typeRef; }
    /// Null pointers when the element had no such child.
    const std::vector<std::unique_ptr<SyntaxStructure>>* sequence() const { return m_sequence.get(); }
    const std::vector<std::unique_ptr<SyntaxStructure>>* option() const { return m_option.get(); }
    const QList<SyntaxStructureInterrupt>& interrupts() const { return m_interrupts; }
    const QSet<const SyntaxStructure*>& interruptStructures() const { return m_interruptStructures; }

    void setName(const QString& name);
    void setIsReference(bool v) { m_isReference = v; }
    void setMinOccurs(quint64 v) { m_minOccurs = v; }
    void setMaxOccurs(quint64 v) { m_maxOccurs = v; }
    void setExcludeStartFromBody(bool v) { m_excludeStartFromBody = v; }
    void setStartStructureMatch(std::unique_ptr<SyntaxStructureMatch> match);
    void setStart(std::unique_ptr<SyntaxStructureText> t) { m_start = std::move(t); }
    void setEnd(std::unique_ptr<SyntaxStructureText> t) { m_end = std::move(t); }
    void setText(std::unique_ptr<SyntaxStructureText> t) { m_text = std::move(t); }
    void setTypeRef(const QString& ref) { m_typeRef = ref; }
    void setSequence(std::unique_ptr<std::vector<std::unique_ptr<SyntaxStructure>>> s) { m_sequence = std::move(s); }
    void setOption(std::unique_ptr<std::vector<std::unique_ptr<SyntaxStructure>>> o) { m_option = std::move(o); }
    void addInterrupt(const SyntaxStructureInterrupt& i) { m_interrupts.append(i); }
    void setInterruptStructures(const QSet<const SyntaxStructure*>& structures);

    /// No option, no sequence, and an end text.
    bool isSimpleStructure() const { return !m_option && !m_sequence && m_end; }
    /// A start text and no end text.
    bool isStartOnlyStructure() const { return m_start && !m_end; }
    /// The larger of the start and end texts' maximum lengths, at least 1.
    qsizetype maxStartEndLength() const;

    /// Whether that very structure is among those this one may interrupt
    /// (identity, not name; no hashing, no allocation).
    bool canInterrupt(const SyntaxStructure* structure) const
    {
        for (qsizetype i = 0; i < m_interruptCount; ++i)
            if (m_interruptArray[i] == structure)
                return true;
        return false;
    }
    /// Whether an interrupt of this structure names that structure and may nest in it.
    bool canNest(const SyntaxStructure* structure) const;

private:
    QString m_name;
    int m_nameId = 0;
    bool m_isReference = false;
    quint64 m_minOccurs = 1;
    quint64 m_maxOccurs = 1;
    bool m_excludeStartFromBody = true;
    std::unique_ptr<SyntaxStructureMatch> m_startStructureMatch;
    std::unique_ptr<SyntaxStructureText> m_start;
    std::unique_ptr<SyntaxStructureText> m_end;
    std::unique_ptr<SyntaxStructureText> m_text;
    QString m_typeRef;
    std::unique_ptr<std::vector<std::unique_ptr<SyntaxStructure>>> m_sequence;
    std::unique_ptr<std::vector<std::unique_ptr<SyntaxStructure>>> m_option;
    QList<SyntaxStructureInterrupt> m_interrupts;
    QSet<const SyntaxStructure*> m_interruptStructures;
    // Plain copy of the set, scanned by canInterrupt() without hashing.
    std::vector<const SyntaxStructure*> m_interruptArrayStorage;
    const SyntaxStructure* const* m_interruptArray = nullptr;
    qsizetype m_interruptCount = 0;
};
