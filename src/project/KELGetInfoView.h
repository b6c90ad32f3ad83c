#pragma once
// The content of a Get Info window: its sections stacked from the top, 5 points
// apart, with a grey line between two sections.

#include <QWidget>

class QVBoxLayout;

class KELGetInfoView : public QWidget {
    Q_OBJECT
public:
    explicit KELGetInfoView(QWidget* parent = nullptr);
    /// Adds a section below the others.
    void addSection(QWidget* section);
    QList<QWidget*> sections() const { return m_sections; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_layout;
    QList<QWidget*> m_sections;
};
