#pragma once
// The library's tile view: a dark grid of component pictures with their names,
// and a footer with the count, the selected component's description and "Select".

#include "componentui/KELComponentLibraryView.h"

#include <QDateTime>
#include <QImage>
#include <QScrollArea>
#include <QWidget>

class KELComponentLibrarySelectButton;
class KELComponentLibraryTileScrollView;

/// One component in the grid; its picture is read on first use and kept.
class KELComponentLibraryTile {
public:
    explicit KELComponentLibraryTile(std::shared_ptr<KELComponent> component) : m_component(std::move(component)) { }
    const std::shared_ptr<KELComponent>& component() const { return m_component; }
    QString name() const { return m_component->name().value_or(QString()); }
    QString desc() const { return m_component->displayDescription(); }
    const QImage& image();
    int compare(const KELComponentLibraryTile& other) const { return m_component->compare(*other.m_component); }

private:
    std::shared_ptr<KELComponent> m_component;
    QImage m_image;
    bool m_imageRead = false;
};

class KELComponentLibraryTileView : public QWidget {
    Q_OBJECT
public:
    static constexpr int TileHeight = 150;
    static constexpr int ColumnMinimum = 180;
    static constexpr int FooterHeight = 90;
    static constexpr qint64 NotFound = -1;

    explicit KELComponentLibraryTileView(KELComponentLibraryTileScrollView* scrollView);

    qint64 columns() const { return m_columns; }
    qint64 rows() const { return m_rows; }
    double columnWidth() const { return m_columnWidth; }
    qint64 selectedIndex() const { return m_selectedIndex; }
    qint64 tileCount() const { return m_tiles.size(); }
    const KELComponentLibraryTile* tileAt(qint64 index) const;

    QRectF tileRectForIndex(qint64 index) const;
    QRectF imageRectForIndex(qint64 index) const;
    QRectF computeFooterRect() const;
    void changeSelectedIndex(qint64 index);
    void scrollToSelection();
    void select();
    std::shared_ptr<KELComponent> selectedComponent() const;
    void updateTiles();
    void updateFrame();

    QDateTime lastSearchDate() const { return m_lastSearchDate; }
    void setLastSearchDate(const QDateTime& date) { m_lastSearchDate = date; }
    QString searchString() const { return m_searchString; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QRect visibleArea() const;
    void typeAhead(const QString& characters);
    qint64 indexAtPoint(QPointF point) const;

    KELComponentLibraryTileScrollView* m_scrollView;
    QList<std::shared_ptr<KELComponentLibraryTile>> m_tiles;
    qint64 m_columns = 1;
    qint64 m_rows = 0;
    double m_columnWidth = ColumnMinimum;
    qint64 m_selectedIndex = NotFound;
    QString m_searchString;
    QDateTime m_lastSearchDate;
};

/// The scroll view around the tile view; it is the component view the window swaps in.
class KELComponentLibraryTileScrollView : public QScrollArea, public KELComponentView {
    Q_OBJECT
public:
    explicit KELComponentLibraryTileScrollView(QWidget* parent = nullptr);

    KELComponentLibraryTileView* tileView() const { return m_tileView; }
    KELComponentLibrarySelectButton* selectButton() const { return m_selectButton; }

    void reloadComponents() override { m_tileView->updateTiles(); }
    std::shared_ptr<KELComponent> selectedComponent() const override { return m_tileView->selectedComponent(); }
    QWidget* componentSelectionView() override { return m_tileView; }
    QWidget* viewWidget() override { return this; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void placeSelectButton();
    KELComponentLibraryTileView* m_tileView;
    KELComponentLibrarySelectButton* m_selectButton;
};
