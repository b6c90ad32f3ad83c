#pragma once
// The views of the checker window: the list of checked languages with their
// counts, the list of errors with its cell, and the bar with the refresh button.

#include "checker/KELSyntaxCheckResult.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <QWidget>
#include <memory>

class KELErrorCheckerTypeListView : public QWidget {
    Q_OBJECT
public:
    static constexpr int RowHeight = 45;

    explicit KELErrorCheckerTypeListView(QWidget* parent = nullptr);

    std::shared_ptr<KELSyntaxCheckResult> syntaxCheckResult() const { return m_result; }
    /// Shows another result; the selected position stays.
    void setSyntaxCheckResult(std::shared_ptr<KELSyntaxCheckResult> result);
    quint64 selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(quint64 index);
    /// The language at the selected position; null when the position is beyond the list.
    const KELSyntaxCheckTypeResult* selectedTypeResult() const;
    int rowCount() const { return int(m_ordered.size()); }

    /// "No Errors", "1 Error", "2 Errors, 1 Warning", "3 Warnings".
    static QString summaryForTypeResult(const KELSyntaxCheckTypeResult& typeResult);

    QSize sizeHint() const override { return QSize(180, 200); }

Q_SIGNALS:
    void selectedTypeResultChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::shared_ptr<KELSyntaxCheckResult> m_result;
    QList<KELSyntaxCheckTypeResult> m_ordered;
    quint64 m_selectedIndex = 0;
};

/// The errors shown in the error list, in the order shown.
class KELErrorListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void setErrors(const QList<KELSyntaxCheckError>& errors);
    const QList<KELSyntaxCheckError>& errors() const { return m_errors; }
    const KELSyntaxCheckError* errorAt(int row) const { return row >= 0 && row < m_errors.size() ? &m_errors[row] : nullptr; }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : int(m_errors.size()); }
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QList<KELSyntaxCheckError> m_errors;
};

/// Draws one error: icon, title, line and description.
class KELErrorCheckerErrorCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    /// The height that shows the whole description in the width; estimated from its
    /// length when approximate (long lists).
    static int optimalCellHeightForWidth(const KELSyntaxCheckError* error, int width, bool approximate, const QFont& font);
};

class KELErrorCheckerTableView : public QListView {
    Q_OBJECT
public:
    explicit KELErrorCheckerTableView(QWidget* parent = nullptr);
    const QString& typeName() const { return m_typeName; }
    void setTypeName(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_typeName;
};

class KELErrorCheckerRefreshView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    bool drawSideBorder() const { return m_drawSideBorder; }
    void setDrawSideBorder(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_drawSideBorder = false;
};

/// The small pictures of the lists: "FileError", "FileWarning", "FileSuccess".
QPixmap checkerIcon(const QString& name, int size = 12);
