#include "app/KELBezierPath.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

QPainterPath KELRoundRectPath(const QRectF& rect, qreal radius)
{
    const qreal r = std::clamp<qreal>(radius, 0, std::min(rect.width(), rect.height()) / 2);
    QPainterPath path;
    path.addRoundedRect(rect, r, r);
    return path;
}

QAction* KELAddMenuItem(QMenu* menu, const QString& title, std::function<void()> action)
{
    QAction* item = menu->addAction(title);
    QObject::connect(item, &QAction::triggered, item, [action] {
        if (action)
            action();
    });
    return item;
}
