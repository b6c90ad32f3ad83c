#pragma once
// A small tree of key-value objects shaped like the editors of the "Image Map"
// component: "image" (width, height, fileUrl), "regionCount" (count), "regions"
// (the region editors, selectedIndex) and per region "shape", the rectangle and
// circle fields, "vertexCount" and "vertices" with "x" and "y".

#include "html/Printers.h"
#include "components/KELExpression.h"
#include "kit/KeyValueObject.h"

#include <QHash>
#include <QPointF>
#include <QStringList>
#include <QUrl>
#include <initializer_list>
#include <memory>
#include <utility>

namespace imagemaptest {

/// An editor of repeated items (the regions table, a polygon's vertices).
class Items : public kit::KeyValueObject, public KELExpressionIndexed {
public:
    qsizetype count() const override { return m_items.size(); }
    QVariant objectAtIndex(qsizetype index) const override
    {
        return index >= 0 && index < m_items.size() ? fromObject(m_items.at(index)) : QVariant();
    }
    QVariant value(const QString& key) const override
    {
        if (key == QLatin1String("count"))
            return qlonglong(m_items.size());
        if (key == QLatin1String("variableControllers")) {
            QVariantList list;
            for (const auto& item : m_items)
                list.append(fromObject(item));
            return list;
        }
        return KeyValueObject::value(key);
    }
    void append(const kit::KeyValueObjectPtr& item)
    {
        m_items.append(item);
        didChangeList(QStringLiteral("variableControllers"), kit::KeyValueChange::Insertion, { m_items.size() - 1 }, QVariant(),
            QVariantList { fromObject(item) });
    }
    void removeLast()
    {
        const kit::KeyValueObjectPtr item = m_items.takeLast();
        didChangeList(QStringLiteral("variableControllers"), kit::KeyValueChange::Removal, { m_items.size() }, QVariantList { fromObject(item) },
            QVariant());
    }
    const QList<kit::KeyValueObjectPtr>& items() const { return m_items; }

private:
    QList<kit::KeyValueObjectPtr> m_items;
};

inline kit::KeyValueObjectPtr editorWith(const QString& key, const QVariant& value)
{
    auto editor = std::make_shared<kit::KeyValueObject>();
    editor->setValue(key, value);
    return editor;
}

inline kit::KeyValueObjectPtr textEditor(const QString& value)
{
    return editorWith(QStringLiteral("value"), value);
}

inline kit::KeyValueObjectPtr countEditor(qint64 count)
{
    auto editor = std::make_shared<kit::KeyValueObject>();
    editor->setValue(QStringLiteral("count"), qlonglong(count));
    editor->setValue(QStringLiteral("textValue"), QString::number(count));
    return editor;
}

inline void setCount(const kit::KeyValueObjectPtr& editor, qint64 count)
{
    editor->setValue(QStringLiteral("textValue"), QString::number(count));
    editor->setValue(QStringLiteral("count"), qlonglong(count));
}

/// A region editor with every field; the fields not given are empty.
inline kit::KeyValueObjectPtr region(const QString& shape, std::initializer_list<std::pair<const char*, qint64>> fields = {},
    std::initializer_list<QPointF> vertices = {})
{
    auto r = std::make_shared<kit::KeyValueObject>();
    r->setValue(QStringLiteral("shape"), kit::KeyValueObject::fromObject(textEditor(shape)));
    for (const char* key : { "rectX1", "rectY1", "rectX2", "rectY2", "circleX", "circleY", "circleRadius" })
        r->setValue(QString::fromLatin1(key), kit::KeyValueObject::fromObject(textEditor(QString())));
    for (const auto& [key, value] : fields)
        r->setValueForKeyPath(QString::fromLatin1(key) + QStringLiteral(".value"), QString::number(value));
    auto list = std::make_shared<Items>();
    for (const QPointF& v : vertices) {
        auto vertex = std::make_shared<kit::KeyValueObject>();
        vertex->setValue(QStringLiteral("x"), kit::KeyValueObject::fromObject(textEditor(QString::number(qint64(v.x())))));
        vertex->setValue(QStringLiteral("y"), kit::KeyValueObject::fromObject(textEditor(QString::number(qint64(v.y())))));
        list->append(vertex);
    }
    r->setValue(QStringLiteral("vertexCount"), kit::KeyValueObject::fromObject(countEditor(qint64(vertices.size()))));
    r->setValue(QStringLiteral("vertices"), kit::KeyValueObject::fromObject(list));
    return r;
}

inline kit::KeyValueObjectPtr rectangle(qint64 x1, qint64 y1, qint64 x2, qint64 y2)
{
    return region(QStringLiteral("rectangle"), { { "rectX1", x1 }, { "rectY1", y1 }, { "rectX2", x2 }, { "rectY2", y2 } });
}

inline kit::KeyValueObjectPtr circle(qint64 x, qint64 y, qint64 r)
{
    return region(QStringLiteral("circle"), { { "circleX", x }, { "circleY", y }, { "circleRadius", r } });
}

inline kit::KeyValueObjectPtr polygon(std::initializer_list<QPointF> vertices)
{
    return region(QStringLiteral("polygon"), {}, vertices);
}

/// Adds a vertex editor with empty fields to a polygon region (its count unchanged).
inline void appendEmptyVertex(const kit::KeyValueObjectPtr& polygonRegion)
{
    auto vertex = std::make_shared<kit::KeyValueObject>();
    vertex->setValue(QStringLiteral("x"), kit::KeyValueObject::fromObject(textEditor(QString())));
    vertex->setValue(QStringLiteral("y"), kit::KeyValueObject::fromObject(textEditor(QString())));
    std::dynamic_pointer_cast<Items>(kit::KeyValueObject::toObject(polygonRegion->value(QStringLiteral("vertices"))))->append(vertex);
}

/// The root: an image of the given size and the regions, all counted.
inline kit::KeyValueObjectPtr imageMap(qint64 width, qint64 height, std::initializer_list<kit::KeyValueObjectPtr> regions, const QUrl& url = QUrl())
{
    auto root = std::make_shared<kit::KeyValueObject>();
    auto image = std::make_shared<kit::KeyValueObject>();
    image->setValue(QStringLiteral("width"), qlonglong(width));
    image->setValue(QStringLiteral("height"), qlonglong(height));
    image->setValue(QStringLiteral("fileUrl"), url);
    root->setValue(QStringLiteral("image"), kit::KeyValueObject::fromObject(image));
    auto table = std::make_shared<Items>();
    for (const auto& r : regions)
        table->append(r);
    table->setValue(QStringLiteral("selectedIndex"), qlonglong(-1));
    root->setValue(QStringLiteral("regions"), kit::KeyValueObject::fromObject(table));
    root->setValue(QStringLiteral("regionCount"), kit::KeyValueObject::fromObject(countEditor(qint64(regions.size()))));
    return root;
}

inline kit::KeyValueObjectPtr regionAt(const kit::KeyValueObjectPtr& root, qsizetype index)
{
    auto table = std::dynamic_pointer_cast<Items>(kit::KeyValueObject::toObject(root->value(QStringLiteral("regions"))));
    return table && index < table->count() ? table->items().at(index) : nullptr;
}

/// The region's fields as one line: "rect 10,20,30,40", "circle 50,50,10",
/// "poly 1,2 3,4 5,6" (the polygon's vertices up to its count).
inline QString describe(const kit::KeyValueObjectPtr& r)
{
    const auto text = [&r](const QString& keyPath) { return KELExpression::stringValue(r->valueForKeyPath(keyPath)); };
    const QString shape = text(QStringLiteral("shape.value"));
    if (shape == QLatin1String("rectangle"))
        return QStringLiteral("rect %1,%2,%3,%4").arg(text(QStringLiteral("rectX1.value")), text(QStringLiteral("rectY1.value")),
            text(QStringLiteral("rectX2.value")), text(QStringLiteral("rectY2.value")));
    if (shape == QLatin1String("circle"))
        return QStringLiteral("circle %1,%2,%3").arg(text(QStringLiteral("circleX.value")), text(QStringLiteral("circleY.value")),
            text(QStringLiteral("circleRadius.value")));
    QStringList points;
    auto list = std::dynamic_pointer_cast<Items>(kit::KeyValueObject::toObject(r->value(QStringLiteral("vertices"))));
    const qint64 n = KELExpression::integerValue(r->valueForKeyPath(QStringLiteral("vertexCount.count")));
    for (qint64 i = 0; list && i < n && i < list->count(); ++i)
        points.append(KELExpression::stringValue(list->items().at(i)->valueForKeyPath(QStringLiteral("x.value"))) + QLatin1Char(',')
            + KELExpression::stringValue(list->items().at(i)->valueForKeyPath(QStringLiteral("y.value"))));
    return shape + QLatin1Char(' ') + points.join(QLatin1Char(' '));
}

/// Undo registrations as the shapes and the window make them, with the region's
/// description at that moment (it must still be the one from before the change).
struct Registration {
    kit::KeyValueObjectPtr region;
    QString keyPath;
    QString actionName;
    bool grouped;
    QString before;
};

} // namespace imagemaptest
