#pragma once
// The navigator's search field: a plain rounded outline while it does not have
// the focus, the usual field while it does.

#include <QLineEdit>

class KELCodeNavigatorSearchFieldCell : public QLineEdit
{
    Q_OBJECT
public:
    explicit KELCodeNavigatorSearchFieldCell(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
