#include "htmlui/MetaController.h"

#include "editor/KELHTMLView.h"
#include "support/HelpUtils.h"
#include "support/StringAdditions.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

// A double quote inside a value would end the attribute early.
QString attributeSafe(const QString& text)
{
    QString safe = text;
    safe.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    return safe;
}

} // namespace

QValidator::State KELClampedSpinBox::validate(QString& input, int& pos) const
{
    const QString text = input.trimmed();
    if (text.isEmpty() || text == QLatin1String("-"))
        return QValidator::Intermediate;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok) {
        // More digits than a number holds: the sign says which end it is past.
        const bool digits = text.mid(text.startsWith(QLatin1Char('-')) ? 1 : 0).contains(QRegularExpression(QStringLiteral("^[0-9]+$")));
        if (!digits)
            return QValidator::Invalid;
        input = QString::number(text.startsWith(QLatin1Char('-')) ? minimum() : maximum());
        pos = int(input.size());
        return QValidator::Acceptable;
    }
    const qlonglong clamped = qBound(qlonglong(minimum()), value, qlonglong(maximum()));
    if (QString::number(clamped) != input) {
        input = QString::number(clamped);
        pos = int(input.size());
    }
    return QValidator::Acceptable;
}

MetaController& MetaController::sharedInstance()
{
    static MetaController* controller = new MetaController;
    return *controller;
}

MetaController::MetaController() = default;

QString MetaController::helpKey() const
{
    return KELInsertMetaTagHelpKey;
}

void MetaController::loadWindow(QDialog* window)
{
    window->setObjectName(QStringLiteral("MetaPanel"));
    window->setWindowTitle(tr("Insert Meta Tag"));
    auto* layout = new QVBoxLayout(window);

    auto* typeBox = new QGroupBox(tr("Attribute"), window);
    auto* typeGrid = new QGridLayout(typeBox);
    m_metaContentType = new QButtonGroup(window);
    auto* nameRadio = new QRadioButton(tr("name"), typeBox);
    auto* httpRadio = new QRadioButton(tr("http-equiv"), typeBox);
    nameRadio->setObjectName(QStringLiteral("nameRadio"));
    httpRadio->setObjectName(QStringLiteral("httpEquivRadio"));
    m_metaContentType->addButton(nameRadio, 0);
    m_metaContentType->addButton(httpRadio, 1);
    m_nameBox = new QComboBox(typeBox);
    m_nameBox->setObjectName(QStringLiteral("nameBox"));
    m_nameBox->setEditable(true);
    m_nameBox->addItems({QStringLiteral("author"), QStringLiteral("description"), QStringLiteral("keywords"),
                         QStringLiteral("viewport"), QStringLiteral("robots"), QStringLiteral("generator"),
                         QStringLiteral("theme-color"), QStringLiteral("color-scheme"),
                         QStringLiteral("application-name"), QStringLiteral("referrer"), QStringLiteral("copyright")});
    m_HTTPBox = new QComboBox(typeBox);
    m_HTTPBox->setObjectName(QStringLiteral("HTTPBox"));
    m_HTTPBox->setEditable(true);
    m_HTTPBox->addItems({QStringLiteral("content-type"), QStringLiteral("content-language"),
                         QStringLiteral("content-security-policy"), QStringLiteral("default-style"),
                         QStringLiteral("refresh"), QStringLiteral("x-ua-compatible"), QStringLiteral("expires"),
                         QStringLiteral("pragma"), QStringLiteral("cache-control")});
    typeGrid->addWidget(nameRadio, 0, 0);
    typeGrid->addWidget(m_nameBox, 0, 1);
    typeGrid->addWidget(httpRadio, 1, 0);
    typeGrid->addWidget(m_HTTPBox, 1, 1);
    typeGrid->setColumnStretch(1, 1);
    layout->addWidget(typeBox);

    auto* contentBox = new QGroupBox(tr("Content"), window);
    auto* contentGrid = new QGridLayout(contentBox);
    m_metaContentReceiver = new QButtonGroup(window);
    auto* textRadio = new QRadioButton(tr("Text"), contentBox);
    auto* refreshRadio = new QRadioButton(tr("Refresh after"), contentBox);
    textRadio->setObjectName(QStringLiteral("contentRadio"));
    refreshRadio->setObjectName(QStringLiteral("refreshRadio"));
    m_metaContentReceiver->addButton(textRadio, 0);
    m_metaContentReceiver->addButton(refreshRadio, 1);
    m_contentTextField = new QLineEdit(contentBox);
    m_contentTextField->setObjectName(QStringLiteral("contentTextField"));
    m_contentTextField->setAccessibleName(tr("Text"));
    m_timerField = new KELClampedSpinBox(contentBox);
    m_timerField->setObjectName(QStringLiteral("timerField"));
    m_timerField->setAccessibleName(tr("Refresh after seconds"));
    m_timerField->setRange(0, 1000);
    m_timerField->setSuffix(QString());
    m_timerField->setKeyboardTracking(true);
    m_timerURLField = new QLineEdit(contentBox);
    m_timerURLField->setObjectName(QStringLiteral("timerURLField"));
    m_timerURLField->setAccessibleName(tr("to URL"));
    contentGrid->addWidget(textRadio, 0, 0);
    contentGrid->addWidget(m_contentTextField, 0, 1, 1, 2);
    contentGrid->addWidget(refreshRadio, 1, 0);
    contentGrid->addWidget(m_timerField, 1, 1);
    contentGrid->addWidget(new QLabel(tr("seconds"), contentBox), 1, 2);
    contentGrid->addWidget(new QLabel(tr("to URL"), contentBox), 2, 0, Qt::AlignRight);
    contentGrid->addWidget(m_timerURLField, 2, 1, 1, 2);
    contentGrid->setColumnStretch(2, 1);
    layout->addWidget(contentBox);

    auto* buttons = new QDialogButtonBox(window);
    buttons->addButton(makeHelpButton(window), QDialogButtonBox::HelpRole);
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    auto* insert = buttons->addButton(tr("Insert"), QDialogButtonBox::AcceptRole);
    insert->setObjectName(QStringLiteral("insertButton"));
    insert->setDefault(true);
    connect(insert, &QPushButton::clicked, this, &MetaController::insertMetaTag);
    connect(cancel, &QPushButton::clicked, this, &MetaController::cancelInsertMetaTag);
    layout->addWidget(buttons);
    window->resize(420, window->sizeHint().height());
    resetValues();
}

QString MetaController::metaTagString() const
{
    QString tag = stringWithTagNameCase(QStringLiteral("<meta "));
    if (m_metaContentType->checkedId() == 0)
        tag += QStringLiteral("name=\"") + attributeSafe(m_nameBox->currentText());
    else
        tag += QStringLiteral("http-equiv=\"") + attributeSafe(m_HTTPBox->currentText());
    tag += QStringLiteral("\" content=\"");
    if (m_metaContentReceiver->checkedId() == 0)
        tag += attributeSafe(m_contentTextField->text());
    else
        tag += QString::number(m_timerField->value()) + QStringLiteral(";URL='")
            + attributeSafe(m_timerURLField->text()) + QLatin1Char('\'');
    tag += QStringLiteral("\">");
    return tag;
}

void MetaController::insertMetaTag()
{
    window();
    const QString tag = metaTagString();
    if (KELHTMLView* view = frontEditor())
        insertAroundSelection(view, tag, QString(), tr("Insert Meta Tag"));
    else
        QApplication::beep(); // nothing to insert into; the panel still closes
    close();
    resetValues();
}

void MetaController::cancelInsertMetaTag()
{
    resetValues();
    close();
}

void MetaController::windowWillClose()
{
    resetValues();
}

void MetaController::resetValues()
{
    if (!m_contentTextField)
        return;
    m_contentTextField->clear();
    m_timerField->setValue(0);
    m_timerURLField->setText(QStringLiteral("http://"));
    m_nameBox->setEditText(QString());
    m_HTTPBox->setEditText(QString());
    m_metaContentType->button(0)->setChecked(true);
    m_metaContentReceiver->button(0)->setChecked(true);
}
