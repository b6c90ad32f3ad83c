#pragma once
// A list that owns its items and hands them out as plain pointers (the parsed CSS tree).

#include <QList>
#include <QString>
#include <memory>
#include <vector>

/// A list that owns its items and hands them out as plain pointers.
template <class T>
class KELOwnedList {
public:
    T* add(std::unique_ptr<T> item)
    {
        T* raw = item.get();
        if (raw) {
            m_view.append(raw);
            m_items.push_back(std::move(item));
        }
        return raw;
    }
    const QList<T*>& items() const { return m_view; }

private:
    std::vector<std::unique_ptr<T>> m_items;
    QList<T*> m_view;
};
