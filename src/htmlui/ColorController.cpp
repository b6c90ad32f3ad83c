#include "htmlui/ColorController.h"

#include "editor/KELHTMLView.h"
#include "kit/ColorPanel.h"
#include "support/ColorAdditions.h"
#include "support/HelpUtils.h"
#include "support/KELColorUtils.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The shared panel lists the HTML colour names (made once, on first use).
void fillNamedColors()
{
    kit::ColorPanel& panel = kit::ColorPanel::sharedColorPanel();
    if (panel.namedColorCount() > 0)
        return;
    KELColorUtils& names = KELColorUtils::sharedInstance();
    QStringList sorted = names.htmlColorNames();
    sorted.sort(Qt::CaseInsensitive);
    QList<QPair<QString, QColor>> colors;
    for (const QString& name : sorted)
        if (const std::optional<QString> hex = names.htmlHexForColorName(name))
            colors.append({name, colorWithHtmlHexValue(*hex)});
    panel.setNamedColors(colors);
}

void closeSharedColorPanel()
{
    if (kit::ColorPanel::sharedColorPanelExists())
        kit::ColorPanel::sharedColorPanel().close();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// KELColorWell

KELColorWell::KELColorWell(QWidget* parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("colorWell"));
    setAccessibleName(tr("Choose a colour"));
    setIconSize(QSize(36, 18));
    setToolTip(tr("Choose a colour"));
    setColor(Qt::black);
    connect(this, &QToolButton::clicked, this, &KELColorWell::activate);
}

void KELColorWell::setColor(const QColor& color)
{
    m_color = color.isValid() ? color : QColor(Qt::black);
    QPixmap swatch(iconSize());
    swatch.fill(m_color);
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    setIcon(QIcon(swatch));
}

void KELColorWell::activate()
{
    fillNamedColors();
    kit::ColorPanel& panel = kit::ColorPanel::sharedColorPanel();
    panel.setTarget(this, [this](const QColor& color) {
        setColor(color);
        Q_EMIT colorPicked(color);
    });
    panel.setColor(m_color);
    panel.orderFront();
}

// ---------------------------------------------------------------------------------------------
// ColorController

ColorController& ColorController::sharedInstance()
{
    static ColorController* controller = new ColorController;
    return *controller;
}

ColorController::ColorController() = default;

ColorController::~ColorController() = default;

QString ColorController::helpKey() const
{
    return KELInsertColorHelpKey;
}

void ColorController::loadWindow(QDialog* window)
{
    window->setObjectName(QStringLiteral("ColorInsertPanel"));
    window->setWindowTitle(tr("Insert Color"));
    window->installEventFilter(this);
    auto* layout = new QVBoxLayout(window);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Color:"), window));
    m_colorField = new QLineEdit(window);
    m_colorField->setObjectName(QStringLiteral("colorField"));
    m_colorField->setAccessibleName(tr("Color"));
    m_colorField->setPlaceholderText(QStringLiteral("#rrggbb"));
    connect(m_colorField, &QLineEdit::textEdited, this, &ColorController::controlTextDidChange);
    row->addWidget(m_colorField, 1);
    m_colorWell = new KELColorWell(window);
    connect(m_colorWell, &KELColorWell::colorPicked, this, &ColorController::setColor);
    row->addWidget(m_colorWell);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(window);
    buttons->addButton(makeHelpButton(window), QDialogButtonBox::HelpRole);
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    auto* insert = buttons->addButton(tr("Insert"), QDialogButtonBox::AcceptRole);
    insert->setObjectName(QStringLiteral("insertButton"));
    insert->setDefault(true);
    connect(insert, &QPushButton::clicked, this, &ColorController::insertColor);
    connect(cancel, &QPushButton::clicked, this, &ColorController::cancelInsertColor);
    layout->addWidget(buttons);
    window->resize(320, window->sizeHint().height());
    resetValues();
}

bool ColorController::eventFilter(QObject* watched, QEvent* event)
{
    // Other windows may have taken the shared panel meanwhile.
    if (watched == window() && event->type() == QEvent::WindowActivate)
        setColorPanelDelegate();
    return InsertController::eventFilter(watched, event);
}

void ColorController::setColorPanelDelegate()
{
    if (!m_colorWell || !kit::ColorPanel::sharedColorPanelExists())
        return;
    kit::ColorPanel::sharedColorPanel().setTarget(m_colorWell, [well = m_colorWell](const QColor& color) {
        well->setColor(color);
        Q_EMIT well->colorPicked(color);
    });
}

void ColorController::setColor(const QColor& color)
{
    if (m_colorWell && m_colorWell->color() != color)
        m_colorWell->setColor(color);
    if (m_updatePending)
        return;
    m_updatePending = true;
    QTimer::singleShot(0, this, &ColorController::updateColorField);
}

void ColorController::updateColorField()
{
    m_updatePending = false;
    if (m_colorField && m_colorWell)
        m_colorField->setText(htmlHexValue(m_colorWell->color()));
}

void ColorController::controlTextDidChange(const QString& text)
{
    closeSharedColorPanel();
    m_colorWell->setColor(text.isEmpty() ? QColor(Qt::black) : colorWithHtmlHexValue(text));
}

void ColorController::insertColor()
{
    window();
    QString text = m_colorField->text();
    if (!text.startsWith(QLatin1Char('#')))
        text.prepend(QLatin1Char('#'));
    if (KELHTMLView* view = frontEditor())
        view->insertUntypedString(text, tr("Insert Color"));
    else
        QApplication::beep();
    close();
    closeSharedColorPanel();
    resetValues();
}

void ColorController::cancelInsertColor()
{
    resetValues();
    close();
    closeSharedColorPanel();
}

void ColorController::windowWillClose()
{
    resetValues();
    closeSharedColorPanel();
}

void ColorController::resetValues()
{
    if (!m_colorField)
        return;
    m_colorField->clear();
    m_colorWell->setColor(Qt::black);
}
