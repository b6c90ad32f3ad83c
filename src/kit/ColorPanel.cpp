#include "kit/ColorPanel.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QVBoxLayout>

namespace kit {

namespace {
ColorPanel*& sharedPanel()
{
    static ColorPanel* panel = nullptr;
    return panel;
}
} // namespace

ColorPanel& ColorPanel::sharedColorPanel()
{
    if (!sharedPanel())
        sharedPanel() = new ColorPanel;
    return *sharedPanel();
}

bool ColorPanel::sharedColorPanelExists()
{
    return sharedPanel() != nullptr;
}

ColorPanel::ColorPanel()
    : QWidget(nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("ColorPanel"));
    setWindowTitle(tr("Colors"));
    auto* layout = new QHBoxLayout(this);

    // The square, hue slider, channel fields and the screen picker, as one widget.
    m_dialog = new QColorDialog(this);
    m_dialog->setWindowFlags(Qt::Widget);
    m_dialog->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
    m_dialog->setCurrentColor(Qt::black);
    layout->addWidget(m_dialog, 1);
    connect(m_dialog, &QColorDialog::currentColorChanged, this, [this](const QColor& color) {
        if (!m_settingColor)
            deliver(color);
    });

    auto* side = new QVBoxLayout;
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("colorNameFilter"));
    m_filter->setPlaceholderText(tr("Search names"));
    m_filter->setAccessibleName(tr("Search names"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &ColorPanel::filterNames);
    m_names = new QListWidget(this);
    m_names->setObjectName(QStringLiteral("colorNames"));
    m_names->setMinimumWidth(170);
    connect(m_names, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QColor color = item->data(Qt::UserRole).value<QColor>();
        setColor(color);
        deliver(color);
    });
    side->addWidget(m_filter);
    side->addWidget(m_names, 1);
    layout->addLayout(side);
}

void ColorPanel::setTarget(QObject* owner, Target target)
{
    m_owner = owner;
    m_target = owner ? std::move(target) : Target();
}

QColor ColorPanel::color() const
{
    return m_dialog->currentColor();
}

void ColorPanel::setColor(const QColor& color)
{
    m_settingColor = true;
    m_dialog->setCurrentColor(color);
    m_settingColor = false;
}

void ColorPanel::deliver(const QColor& color)
{
    Q_EMIT colorChanged(color);
    if (m_owner && m_target)
        m_target(color);
}

void ColorPanel::setNamedColors(const QList<QPair<QString, QColor>>& colors)
{
    m_names->clear();
    for (const auto& [name, color] : colors) {
        QPixmap swatch(14, 14);
        swatch.fill(color);
        auto* item = new QListWidgetItem(QIcon(swatch), name, m_names);
        item->setData(Qt::UserRole, color);
    }
    filterNames(m_filter->text());
}

int ColorPanel::namedColorCount() const
{
    return m_names->count();
}

void ColorPanel::filterNames(const QString& text)
{
    for (int row = 0; row < m_names->count(); ++row) {
        QListWidgetItem* item = m_names->item(row);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    }
}

void ColorPanel::orderFront()
{
    show();
    raise();
    activateWindow();
}

} // namespace kit
