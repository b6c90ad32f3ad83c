#pragma once
// Sending accessibility events: only while someone listens, so that views can skip
// the work of describing a change nobody will hear of.
//
// Someone listens when assistive technology is active (a screen reader over AT-SPI),
// or when an observer is installed (tests: the offscreen platform has no
// accessibility bridge, and Qt drops every event there).

#include <functional>

class QAccessibleEvent;

namespace kit {

/// Whether an accessibility event would reach anyone.
bool isAccessibilityListening();

/// Sends the event to the observer, if any, and to assistive technology.
void sendAccessibilityEvent(QAccessibleEvent& event);

/// Receives every event sent through sendAccessibilityEvent (empty: none).
using AccessibilityObserver = std::function<void(QAccessibleEvent*)>;
void setAccessibilityObserverForTesting(AccessibilityObserver observer);

} // namespace kit
