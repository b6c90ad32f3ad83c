#include "kit/Alert.h"

#include "kit/Log.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QWidget>

namespace kit {

namespace {

std::function<int(const Alert&)> g_testResponder;
bool g_testSuppression = false;

bool isCancelTitle(const QString& title) { return title == QLatin1String("Cancel"); }

bool isDontSaveTitle(const QString& title)
{
    return title == QLatin1String("Don't Save") || title == QStringLiteral("Don’t Save");
}

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::CriticalStyle:
        return QMessageBox::Critical;
    case Alert::InformationalStyle:
        return QMessageBox::Information;
    case Alert::WarningStyle:
    default:
        return QMessageBox::Warning;
    }
}

// The box grows with its text as a desktop dialog does: the explanation wraps at
// a comfortable line length (not at the width of a short message), and the title
// bar has room for the title.
void sizeToText(QMessageBox* box)
{
    constexpr int LineLength = 440;   // about 70 characters
    constexpr int TitleBarExtras = 160; // the window manager's buttons and margins
    QLabel* message = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QLabel* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    const QFontMetrics metrics(box->font());
    auto widest = [&metrics](const QString& text) {
        int width = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            width = qMax(width, metrics.horizontalAdvance(line));
        return width;
    };
    int wanted = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box->windowTitle()) + TitleBarExtras;
    if (informative)
        wanted = qMax(wanted, qMin(widest(informative->text()), LineLength));
    if (message)
        wanted = qMax(wanted, qMin(widest(message->text()), LineLength));
    if (const QScreen* screen = box->screen())
        wanted = qMin(wanted, screen->availableGeometry().width() * 3 / 4);
    // The icon stands beside the texts: the labels take the rest.
    QLabel* widthHolder = informative ? informative : message;
    if (widthHolder)
        widthHolder->setMinimumWidth(wanted);
}

// Builds the box; buttons holds the box's buttons in the order they were added.
QMessageBox* makeBox(const Alert& alert, QWidget* parent, QList<QAbstractButton*>* buttons)
{
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(QCoreApplication::applicationName());
    box->setIcon(iconFor(alert.alertStyle()));
    // Both texts are plain: a message about "<div>" must not lose it to rich text.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText());
    if (!alert.informativeText().isEmpty()) {
        box->setInformativeText(alert.informativeText());
        if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            informative->setTextFormat(Qt::PlainText);
        else
            box->setInformativeText(Qt::convertFromPlainText(alert.informativeText(), Qt::WhiteSpaceNormal));
    }
    QStringList titles = alert.buttonTitles();
    if (titles.isEmpty())
        titles << QStringLiteral("OK");
    QAbstractButton* escape = nullptr;
    for (int i = 0; i < titles.size(); ++i) {
        const QString& title = titles[i];
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (i == 0)
            role = QMessageBox::AcceptRole;
        else if (isCancelTitle(title))
            role = QMessageBox::RejectRole;
        else if (isDontSaveTitle(title))
            role = QMessageBox::DestructiveRole;
        QPushButton* button = box->addButton(title, role);
        if (isDontSaveTitle(title))
            button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
        if (isCancelTitle(title))
            escape = button;
        buttons->append(button);
    }
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons->first()));
    // Escape answers Cancel, or the only button.
    if (escape)
        box->setEscapeButton(escape);
    else if (buttons->size() == 1)
        box->setEscapeButton(buttons->first());
    if (alert.showsSuppressionButton()) {
        auto* check = new QCheckBox(alert.suppressionButtonTitle(), box);
        check->setChecked(alert.suppressionChecked());
        box->setCheckBox(check);
    }
    sizeToText(box);
    return box;
}

int responseOf(QMessageBox* box, const QList<QAbstractButton*>& buttons)
{
    QAbstractButton* clicked = box->clickedButton();
    int index = buttons.indexOf(clicked);
    if (index < 0) {
        // Closed without a button: the escape button's answer, else the last button's.
        index = buttons.indexOf(box->escapeButton());
        if (index < 0)
            index = int(buttons.size()) - 1;
    }
    return Alert::FirstButtonReturn + index;
}

int answerForTesting(Alert& alert)
{
    log(QStringLiteral("Alert: %1").arg(alert.messageText()));
    const int response = g_testResponder(alert);
    if (alert.showsSuppressionButton())
        alert.setSuppressionChecked(g_testSuppression);
    return response;
}

} // namespace

int Alert::addButton(const QString& title)
{
    m_buttons.append(title);
    return FirstButtonReturn + int(m_buttons.size()) - 1;
}

QString Alert::suppressionButtonTitle() const
{
    return m_suppressionTitle.isEmpty() ? QStringLiteral("Do not show this message again") : m_suppressionTitle;
}

int Alert::runModal()
{
    if (g_testResponder)
        return answerForTesting(*this);
    QList<QAbstractButton*> buttons;
    QMessageBox* box = makeBox(*this, nullptr, &buttons);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    const int response = responseOf(box, buttons);
    if (box->checkBox())
        m_suppressionChecked = box->checkBox()->isChecked();
    delete box;
    return response;
}

void Alert::beginSheet(QWidget* window, std::function<void(int)> done)
{
    beginSheet(window, std::function<void(int, const Alert&)>([done](int response, const Alert&) {
                   if (done)
                       done(response);
               }));
}

void Alert::beginSheet(QWidget* window, std::function<void(int, const Alert&)> doneWithAlert)
{
    if (g_testResponder) {
        Alert copy = *this;
        const int response = answerForTesting(copy);
        if (doneWithAlert)
            doneWithAlert(response, copy);
        return;
    }
    auto buttons = std::make_shared<QList<QAbstractButton*>>();
    QMessageBox* box = makeBox(*this, window, buttons.get());
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    Alert copy = *this;
    QObject::connect(box, &QDialog::finished, box, [box, buttons, copy, doneWithAlert]() mutable {
        const int response = responseOf(box, *buttons);
        if (box->checkBox())
            copy.setSuppressionChecked(box->checkBox()->isChecked());
        box->deleteLater();
        if (doneWithAlert)
            doneWithAlert(response, copy);
    });
    box->open();
}

Alert Alert::fromError(const Error& error)
{
    Alert alert;
    alert.setMessageText(error.localizedDescription());
    alert.setInformativeText(error.localizedRecoverySuggestion());
    for (const QString& option : error.localizedRecoveryOptions())
        alert.addButton(option);
    if (alert.buttonTitles().isEmpty())
        alert.addButton(QStringLiteral("OK"));
    return alert;
}

bool Alert::presentError(const Error& error, QWidget* window)
{
    Q_UNUSED(window);
    Alert alert = fromError(error);
    const int response = alert.runModal();
    if (error.localizedRecoveryOptions().isEmpty() || !error.hasRecoveryAttempter())
        return false;
    return error.attemptRecovery(response - FirstButtonReturn);
}

void Alert::presentErrorSheet(const Error& error, QWidget* window, std::function<void(bool recovered)> done)
{
    Alert alert = fromError(error);
    alert.beginSheet(window, [error, done](int response) {
        bool recovered = false;
        if (!error.localizedRecoveryOptions().isEmpty() && error.hasRecoveryAttempter())
            recovered = error.attemptRecovery(response - FirstButtonReturn);
        if (done)
            done(recovered);
    });
}

void Alert::setResponderForTesting(std::function<int(const Alert&)> responder) { g_testResponder = std::move(responder); }

void Alert::setSuppressionCheckedForTesting(bool checked) { g_testSuppression = checked; }

} // namespace kit
