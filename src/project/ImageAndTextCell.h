#pragma once
// The cell of the project tree and the Open Quickly lists: a 16-point icon
// before the name, the row dimmed for files the editor does not open, and the
// icon darkened for a file with unsaved changes.

#include <QStyledItemDelegate>

class ImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    /// Item data roles the cell reads (the tree's model provides them).
    static constexpr int OpenableRole = Qt::UserRole + 1;
    static constexpr int ImageHighlightedRole = Qt::UserRole + 3;

    explicit ImageAndTextCell(QObject* parent = nullptr);

    /// Opacity of a row: 1.0 when openable, else 0.8 when selected and 0.6 otherwise.
    static qreal opacityFor(bool openable, bool selected);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool eventFilter(QObject* object, QEvent* event) override;
};
