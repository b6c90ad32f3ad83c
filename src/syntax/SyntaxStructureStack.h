#pragma once
// The names of the structures open at a piece of text, outermost first. Its
// string form (names joined by ".") is the parse state kept in the text.
// Every distinct stack has a small id, the same for the whole process, kept up to
// date on push and pop: comparing stacks and finding what a stack stores in the
// text need no strings.

#include <QString>
#include <QStringList>

class SyntaxStructureStack
{
public:
    SyntaxStructureStack() = default;
    /// Splits at every "."; a null or empty string gives an empty stack.
    explicit SyntaxStructureStack(const QString& string);

    static SyntaxStructureStack stack() { return SyntaxStructureStack(); }
    static SyntaxStructureStack stackWithString(const QString& string) { return SyntaxStructureStack(string); }

    /// The names joined by "."; a null string for an empty stack.
    QString stackString() const;
    QString description() const { return stackString(); }

    void pushStructureName(const QString& name);
    /// The removed name; null when the stack was empty.
    QString popStructureName();
    /// The innermost name; null when empty.
    QString currentStructureName() const { return m_stack.isEmpty() ? QString() : m_stack.last(); }
    void clearStack()
    {
        m_stack.clear();
        m_id = 0;
    }
    const QStringList& structures() const { return m_stack; }
    bool isEmpty() const { return m_stack.isEmpty(); }
    /// The id of this stack: equal stacks have equal ids; 0 is the empty stack.
    int id() const { return m_id; }

    bool operator==(const SyntaxStructureStack& other) const { return m_id == other.m_id; }
    bool isEqual(const SyntaxStructureStack& other) const { return *this == other; }

private:
    QStringList m_stack;
    int m_id = 0;
};
