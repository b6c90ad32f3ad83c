#pragma once
// Filters a list with a predicate off the main thread, so a list shown from it
// stays responsive while a long outline is filtered. Every change of input or
// predicate starts a new job on its own thread and cancels the one before; only
// the newest job's result is published, on the main thread.
//
// Elements are QVariants that own what they hold (shared pointers, values), so a
// worker never reads an element the main thread has let go of.

#include "syntax/KELArrayFilterInfo.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <QVariantList>
#include <memory>

class KELArrayFilter : public QObject
{
    Q_OBJECT
public:
    using Predicate = KELArrayFilterInfo::Predicate;

    explicit KELArrayFilter(QObject* parent = nullptr);
    ~KELArrayFilter() override;

    const QVariantList& sourceArray() const { return m_sourceArray; }
    /// Stores the input and schedules a run.
    void setSourceArray(const QVariantList& array);
    const QVariantList& filteredArray() const { return m_filteredArray; }
    void setFilteredArray(const QVariantList& array);
    /// An empty predicate publishes the input unchanged.
    const Predicate& filterPredicate() const { return m_filterPredicate; }
    /// Stores the predicate and schedules a run.
    void setFilterPredicate(Predicate predicate);
    std::shared_ptr<KELArrayFilterInfo> currentFilterInfo() const { return m_currentFilterInfo; }

    /// Follows a list held elsewhere: reads it now and again whenever the object
    /// emits `changed`. A second binding replaces the first.
    template <typename Object, typename Signal>
    void bindSourceArray(Object* object, Signal changed, std::function<QVariantList()> value)
    {
        unbindSourceArray();
        m_sourceBinding = connect(object, changed, this, [this, value] { setSourceArray(value()); });
        m_bindingObject = object;
        setSourceArray(value());
    }
    void unbindSourceArray();
    /// The object the input is bound to; null when unbound.
    const QObject* sourceArrayBindingObject() const { return m_bindingObject; }

    /// Starts the pending run now (what the scheduled turn does).
    void filterSourceArray();

Q_SIGNALS:
    void filteredArrayChanged();

private:
    void scheduleFilter();
    static void filterSourceArrayWithInfo(std::shared_ptr<KELArrayFilterInfo> info, QPointer<KELArrayFilter> filter);
    void filterCompleteWithInfo(const std::shared_ptr<KELArrayFilterInfo>& info);

    QVariantList m_sourceArray;
    QVariantList m_filteredArray;
    Predicate m_filterPredicate;
    bool m_filterPending = false;
    std::shared_ptr<KELArrayFilterInfo> m_currentFilterInfo;
    QMetaObject::Connection m_sourceBinding;
    const QObject* m_bindingObject = nullptr;
};
