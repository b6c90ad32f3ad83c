#pragma once
// The navigator's list. A click first drops the selection, so clicking the row
// that is already selected selects it anew and goes to its text again.

#include <QTableView>

class KELCodeNavigatorTableView : public QTableView
{
    Q_OBJECT
public:
    explicit KELCodeNavigatorTableView(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
