#pragma once
// One pending move or copy whose destination already holds an item.

#include <QString>

class FilePair {
public:
    /// The move bit of a drag gesture: set means move, otherwise copy.
    static constexpr unsigned MoveOperation = 16;

    FilePair(QString oldPath, QString newPath, unsigned dragOperation)
        : m_oldPath(std::move(oldPath))
        , m_newPath(std::move(newPath))
        , m_dragOperation(dragOperation)
    {
    }
    static FilePair filePair(const QString& oldPath, const QString& newPath, unsigned dragOperation)
    {
        return FilePair(oldPath, newPath, dragOperation);
    }

    const QString& oldPath() const { return m_oldPath; }
    const QString& newPath() const { return m_newPath; }
    unsigned dragOperation() const { return m_dragOperation; }
    bool isMove() const { return m_dragOperation & MoveOperation; }

private:
    QString m_oldPath;
    QString m_newPath;
    unsigned m_dragOperation;
};
