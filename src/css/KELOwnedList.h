#pragma once
// A list that owns its items and hands them out as plain pointers (the parsed CSS tree).

#include <QList>
#include <QtAlgorithms>
#include <QString>
#include <memory>
#include <vector>

/// A list that owns its items and hands them out as plain pointers.
/// One list of pointers and no second list of owners: a large style sheet has
/// hundreds of thousands of these lists.
template <class T>
class KELOwnedList {
public:
    KELOwnedList() = default;
    KELOwnedList(const KELOwnedList&) = delete;
    KELOwnedList& operator=(const KELOwnedList&) = delete;
    ~KELOwnedList() { qDeleteAll(m_view); }

    T* add(std::unique_ptr<T> item)
    {
        if (item)
            m_view.append(item.get());
        return item.release();
    }
    const QList<T*>& items() const { return m_view; }

private:
    QList<T*> m_view;
};
