#pragma once
// Records the accessibility events the program sends, for tests: while one of these
// lives, someone counts as listening and every event sent through the kit lands in
// `events` (Qt itself drops events on the offscreen platform, which has no bridge).

#include "kit/Accessibility.h"

#include <QAccessible>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

struct AccessibleEventRecord {
    QAccessible::Event type = QAccessible::InvalidEvent;
    QPointer<QObject> object;
    int child = -1;
    int position = -1;   // text events: where; caret events: the caret
    QString removed;     // text removed (remove and update events)
    QString inserted;    // text inserted (insert and update events)
    int selectionStart = -1;
    int selectionEnd = -1;
};

class AccessibleEventLog {
public:
    AccessibleEventLog()
    {
        s_log = this;
        kit::setAccessibilityObserverForTesting(&AccessibleEventLog::record);
    }
    ~AccessibleEventLog()
    {
        kit::setAccessibilityObserverForTesting({});
        s_log = nullptr;
    }
    AccessibleEventLog(const AccessibleEventLog&) = delete;
    AccessibleEventLog& operator=(const AccessibleEventLog&) = delete;

    /// The events of one type (from one object, when given).
    QList<AccessibleEventRecord> ofType(QAccessible::Event type, const QObject* from = nullptr) const
    {
        QList<AccessibleEventRecord> out;
        for (const AccessibleEventRecord& e : events) {
            if (e.type == type && (!from || e.object == from))
                out.append(e);
        }
        return out;
    }

    QList<AccessibleEventRecord> events;

private:
    static void record(QAccessibleEvent* event)
    {
        if (!s_log)
            return;
        AccessibleEventRecord r;
        r.type = event->type();
        r.object = event->object();
        r.child = event->child();
        switch (event->type()) {
        case QAccessible::TextInserted: {
            auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
            r.position = e->changePosition();
            r.inserted = e->textInserted();
            break;
        }
        case QAccessible::TextRemoved: {
            auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
            r.position = e->changePosition();
            r.removed = e->textRemoved();
            break;
        }
        case QAccessible::TextUpdated: {
            auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
            r.position = e->changePosition();
            r.removed = e->textRemoved();
            r.inserted = e->textInserted();
            break;
        }
        case QAccessible::TextCaretMoved:
            r.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
            break;
        case QAccessible::TextSelectionChanged: {
            auto* e = static_cast<QAccessibleTextSelectionEvent*>(event);
            r.position = e->cursorPosition();
            r.selectionStart = e->selectionStart();
            r.selectionEnd = e->selectionEnd();
            break;
        }
        default:
            break;
        }
        s_log->events.append(r);
    }
    static inline AccessibleEventLog* s_log = nullptr;
};
