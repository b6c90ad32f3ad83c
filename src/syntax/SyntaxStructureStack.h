#pragma once
// The names of the structures open at a piece of text, outermost first. Its
// string form (names joined by ".") is the parse state kept in the text.

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

    void pushStructureName(const QString& name) { m_stack.append(name); }
    /// The removed name; null when the stack was empty.
    QString popStructureName();
    /// The innermost name; null when empty.
    QString currentStructureName() const { return m_stack.isEmpty() ? QString() : m_stack.last(); }
    void clearStack() { m_stack.clear(); }
    const QStringList& structures() const { return m_stack; }
    bool isEmpty() const { return m_stack.isEmpty(); }

    bool operator==(const SyntaxStructureStack& other) const { return m_stack == other.m_stack; }
    bool isEqual(const SyntaxStructureStack& other) const { return *this == other; }

private:
    QStringList m_stack;
};
