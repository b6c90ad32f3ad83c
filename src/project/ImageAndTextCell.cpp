#include "project/ImageAndTextCell.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

ImageAndTextCell::ImageAndTextCell(QObject* parent) : QStyledItemDelegate(parent) {}

qreal ImageAndTextCell::opacityFor(bool openable, bool selected)
{
    if (openable)
        return 1.0;
    return selected ? 0.8 : 0.6;
}

void ImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QVariant openableData = index.data(OpenableRole);
    const bool openable = !openableData.isValid() || openableData.toBool();
    const bool selected = opt.state & QStyle::State_Selected;
    const qreal alpha = opacityFor(openable, selected);

    // Background and selection first, at full strength.
    const QIcon icon = opt.icon;
    const QString text = opt.text;
    opt.icon = QIcon();
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setOpacity(alpha);
    const QRect iconRect(opt.rect.x() + 3, opt.rect.y() + (opt.rect.height() - 16) / 2, 16, 16);
    if (!icon.isNull()) {
        QPixmap pixmap = icon.pixmap(16, 16);
        if (index.data(ImageHighlightedRole).toBool()) {
            QPainter dark(&pixmap);
            dark.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            dark.fillRect(pixmap.rect(), QColor(0, 0, 0, 77));
        }
        painter->drawPixmap(iconRect, pixmap);
    }
    const QRect textRect = opt.rect.adjusted(19 + 3, 0, 0, 0);
    painter->setPen(opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      opt.fontMetrics.elidedText(text, opt.textElideMode, textRect.width()));
    painter->restore();
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(qMax(size.height(), 18));
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const
{
    editor->setGeometry(option.rect.adjusted(19, 0, 0, 0));
}

bool ImageAndTextCell::eventFilter(QObject* object, QEvent* event)
{
    // Return ends the editing and stays on the row (no move to the next one).
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Q_EMIT commitData(editor);
            Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
