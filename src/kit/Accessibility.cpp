#include "kit/Accessibility.h"

#include <QAccessible>

namespace kit {

namespace {
AccessibilityObserver& observer()
{
    static AccessibilityObserver o;
    return o;
}
} // namespace

bool isAccessibilityListening()
{
    return QAccessible::isActive() || bool(observer());
}

void sendAccessibilityEvent(QAccessibleEvent& event)
{
    if (observer())
        observer()(&event);
    QAccessible::updateAccessibility(&event);
}

void setAccessibilityObserverForTesting(AccessibilityObserver o)
{
    observer() = std::move(o);
}

} // namespace kit
