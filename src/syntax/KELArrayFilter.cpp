#include "syntax/KELArrayFilter.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <thread>

KELArrayFilter::KELArrayFilter(QObject* parent)
    : QObject(parent)
{
}

KELArrayFilter::~KELArrayFilter()
{
    if (m_currentFilterInfo)
        m_currentFilterInfo->setCancelled(true);
}

void KELArrayFilter::setSourceArray(const QVariantList& array)
{
    m_sourceArray = array;
    scheduleFilter();
}

void KELArrayFilter::setFilteredArray(const QVariantList& array)
{
    m_filteredArray = array;
    Q_EMIT filteredArrayChanged();
}

void KELArrayFilter::setFilterPredicate(Predicate predicate)
{
    m_filterPredicate = std::move(predicate);
    scheduleFilter();
}

void KELArrayFilter::unbindSourceArray()
{
    if (m_sourceBinding)
        disconnect(m_sourceBinding);
    m_sourceBinding = {};
    m_bindingObject = nullptr;
}

void KELArrayFilter::scheduleFilter()
{
    // Changes within one turn of the event loop make one run.
    if (m_filterPending)
        return;
    m_filterPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_filterPending)
            filterSourceArray();
    });
}

void KELArrayFilter::filterSourceArray()
{
    m_filterPending = false;
    if (m_currentFilterInfo)
        m_currentFilterInfo->setCancelled(true);
    m_currentFilterInfo = std::make_shared<KELArrayFilterInfo>(m_sourceArray, m_filterPredicate);
    std::thread(&KELArrayFilter::filterSourceArrayWithInfo, m_currentFilterInfo, QPointer<KELArrayFilter>(this))
        .detach();
}

void KELArrayFilter::filterSourceArrayWithInfo(
    std::shared_ptr<KELArrayFilterInfo> info, QPointer<KELArrayFilter> filter)
{
    QVariantList result;
    if (info->filterPredicate()) {
        for (const QVariant& element : info->sourceArray()) {
            if (info->filterPredicate()(element))
                result.append(element);
            if (info->isCancelled())
                break;
        }
    } else {
        result = info->sourceArray();
    }
    info->setFilteredArray(result);
    if (info->isCancelled())
        return;
    // Published through the application object, which outlives every filter; the
    // filter itself may be gone by the time the main thread gets to it.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [info, filter] {
            if (filter)
                filter->filterCompleteWithInfo(info);
        },
        Qt::QueuedConnection);
}

void KELArrayFilter::filterCompleteWithInfo(const std::shared_ptr<KELArrayFilterInfo>& info)
{
    if (info->isCancelled() || info != m_currentFilterInfo)
        return;
    setFilteredArray(info->filteredArray());
}
