#pragma once
// Small drawing and menu helpers shared by the windows.

#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <functional>

class QAction;
class QMenu;

/// A rounded rectangle whose radius is at most half the smaller side.
QPainterPath KELRoundRectPath(const QRectF& rect, qreal radius);

/// Appends an item with the title that calls the function; no key equivalent.
QAction* KELAddMenuItem(QMenu* menu, const QString& title, std::function<void()> action);
