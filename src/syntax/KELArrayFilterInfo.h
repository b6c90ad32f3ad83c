#pragma once
// One filter job: its own copy of the input, the predicate and, once done, the
// result. The worker polls the cancelled flag while the main thread may set it.

#include <QVariantList>
#include <atomic>
#include <functional>

class KELArrayFilterInfo
{
public:
    using Predicate = std::function<bool(const QVariant&)>;

    KELArrayFilterInfo(const QVariantList& sourceArray, Predicate predicate)
        : m_sourceArray(sourceArray)
        , m_filterPredicate(std::move(predicate))
    {
    }

    const QVariantList& sourceArray() const { return m_sourceArray; }
    const Predicate& filterPredicate() const { return m_filterPredicate; }
    const QVariantList& filteredArray() const { return m_filteredArray; }
    void setFilteredArray(const QVariantList& array) { m_filteredArray = array; }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    void setCancelled(bool cancelled) { m_cancelled.store(cancelled, std::memory_order_release); }

private:
    const QVariantList m_sourceArray;
    const Predicate m_filterPredicate;
    QVariantList m_filteredArray;
    std::atomic<bool> m_cancelled { false };
};
