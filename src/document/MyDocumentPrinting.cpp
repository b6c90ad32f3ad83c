#include "document/MyDocumentCommands.h"

#include "support/DefaultsKeys.h"
#include "document/MyDocument.h"
#include "editor/KELLineNumberView.h"
#include "kit/document/DocumentController.h"
#include "kit/UserDefaults.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/PreferenceController2.h"

#include <QCheckBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <cmath>

using kit::NotFound;
using kit::Range;

void MyDocumentCommands::dropPrintView()
{
    m_printView = nullptr;
    m_printGutter = nullptr;
    m_printScroll.reset();
}

void MyDocumentCommands::preparePrintView()
{
    dropPrintView();
    m_printScroll = std::make_unique<kit::ScrollView>();
    m_printView = new KELHTMLView;
    m_printView->endNotificationResponse();
    m_printView->setContinuousSpellCheckingEnabled(false);
    m_printScroll->setDocumentView(m_printView);
    QFont font = kit::UserDefaults::standard().fontValue(KELFontKey);
    if (font.family().isEmpty())
        font = PreferenceController2::defaultFont();
    m_printView->setFont(font);
    m_printView->setDrawsBackground(false);
    m_printView->setWrapsLines(true);
    m_printView->setString(
        m_editor ? m_editor->textStorage()->string() : (m_document ? m_document->currentString() : QString()));
    m_printGutter = new KELLineNumberView(m_printScroll.get());
    m_printGutter->setBackgroundColor(QColor());
    m_printGutter->setForPrinting(true);
    m_printScroll->setVerticalRulerView(m_printGutter);
    m_printScroll->setHasVerticalRuler(true);
    m_printScroll->setRulersVisible(true);
    m_printScroll->setHasHorizontalScroller(false);
    changeEnableTextColoringForPrinting();
}

void MyDocumentCommands::changeEnableTextColoringForPrinting()
{
    if (!m_printView)
        return;
    kit::TextStorage* storage = m_printView->textStorage();
    if (kit::UserDefaults::standard().boolValue(KELPrintDocumentEnableTextColoring) && services().colorWholeText)
        services().colorWholeText(m_document, m_printView);
    else
        m_printView->setColor(Qt::black, Range(0, storage->length()));
}

void MyDocumentCommands::changeEnableLineNumberingForPrinting()
{
    if (m_printGutter)
        m_printGutter->updateThickness(true);
}

void MyDocumentCommands::updatePrintDimensions(QPrinter* printer)
{
    if (!m_printView || !printer)
        return;
    const qreal pageWidth = printer->pageLayout().paintRectPixels(printer->resolution()).width();
    // Lay out in points of the screen: the painter is scaled to the printer.
    const qreal scale = printer->resolution() / 72.0;
    const qreal printable = pageWidth / scale;
    const bool numbers = kit::UserDefaults::standard().boolValue(KELPrintDocumentEnableLineNumbering);
    m_printGutter->updateThickness(true);
    const qreal gutter = numbers ? m_printGutter->numberWidth() : 0.0;
    const qreal inset = m_printView->textContainerInset().width();
    m_printView->layoutManager()->setContainerWidth(std::max<qreal>(50.0, printable - gutter - 2 * inset));
}

bool MyDocumentCommands::printToPrinter(QPrinter* printer)
{
    if (!printer)
        return false;
    if (!m_printView)
        preparePrintView();
    updatePrintDimensions(printer);
    kit::LayoutManager* lm = m_printView->layoutManager();
    kit::TextStorage* storage = m_printView->textStorage();
    const qreal scale = printer->resolution() / 72.0;
    const QRectF paint = printer->pageLayout().paintRectPixels(printer->resolution());
    const qreal pageHeight = paint.height() / scale;
    const qreal width = lm->containerWidth();
    const bool numbers = kit::UserDefaults::standard().boolValue(KELPrintDocumentEnableLineNumbering);
    const qreal gutter = numbers ? m_printGutter->numberWidth() : 0.0;

    // Page breaks fall between line fragments.
    lm->ensureLayoutForCharacterRange(Range(0, storage->length()));
    QList<qreal> breaks { 0.0 };
    qreal pageTop = 0;
    lm->enumerateLineFragments(Range(0, storage->length()), [&](const QRectF& fragment, const QRectF&, Range) {
        if (fragment.bottom() - pageTop > pageHeight && fragment.top() > pageTop) {
            pageTop = fragment.top();
            breaks.append(pageTop);
        }
        return true;
    });
    const qreal total = std::max(lm->usedHeight(), pageTop + 1);

    QPainter painter;
    if (!painter.begin(printer))
        return false;
    kit::DrawContext context;
    context.drawSelection = false;
    context.focused = false;
    context.textColor = Qt::black;
    for (qsizetype page = 0; page < breaks.size(); ++page) {
        if (page > 0)
            printer->newPage();
        const qreal top = breaks[page];
        const qreal bottom = page + 1 < breaks.size() ? breaks[page + 1] : total;
        const QRectF rect(0, top, width, bottom - top);
        context.visibleRect = rect;
        painter.save();
        painter.scale(scale, scale);
        if (numbers)
            m_printGutter->drawLineNumbers(&painter, rect, -top, gutter);
        painter.translate(gutter, -top);
        painter.setClipRect(rect);
        lm->draw(&painter, rect, context);
        painter.restore();
    }
    painter.end();
    dropPrintView();
    return true;
}

QPageLayout& MyDocumentCommands::pageLayout()
{
    static QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                              QPageLayout::Millimeter);
    return layout;
}

void MyDocumentCommands::runPageLayout(QWidget* parent)
{
    auto* printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageLayout(pageLayout());
    auto* dialog = new QPageSetupDialog(printer, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [printer](int result) {
        if (result == QDialog::Accepted)
            pageLayout() = printer->pageLayout();
        delete printer;
    });
    dialog->open();
}

void MyDocumentCommands::printDocument(QWidget* parent, std::function<void(bool)> done)
{
    auto* printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageLayout(pageLayout());
    auto* dialog = new QPrintDialog(printer, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The two print options of the panel, bound to their settings.
    auto* options = new QWidget(dialog);
    options->setWindowTitle(tr("Document"));
    auto* layout = new QVBoxLayout(options);
    auto* coloring = new QCheckBox(tr("Print syntax coloring"), options);
    auto* numbering = new QCheckBox(tr("Print line numbers"), options);
    coloring->setChecked(kit::UserDefaults::standard().boolValue(KELPrintDocumentEnableTextColoring));
    numbering->setChecked(kit::UserDefaults::standard().boolValue(KELPrintDocumentEnableLineNumbering));
    layout->addWidget(coloring);
    layout->addWidget(numbering);
    connect(coloring, &QCheckBox::toggled, this, [this](bool on) {
        kit::UserDefaults::standard().setValue(KELPrintDocumentEnableTextColoring, on);
        changeEnableTextColoringForPrinting();
    });
    connect(numbering, &QCheckBox::toggled, this, [this](bool on) {
        kit::UserDefaults::standard().setValue(KELPrintDocumentEnableLineNumbering, on);
        changeEnableLineNumberingForPrinting();
    });
    dialog->setOptionTabs({ options });
    preparePrintView();
    QPointer<MyDocumentCommands> self(this);
    connect(dialog, &QDialog::finished, this, [self, printer, done](int result) {
        bool printed = false;
        if (self && result == QDialog::Accepted) {
            // Printing can keep the program busy for a while: side files first.
            if (kit::DocumentController* controller = kit::DocumentController::existingSharedDocumentController())
                controller->writeSideFilesNow();
            printed = self->printToPrinter(printer);
        }
        if (self)
            self->dropPrintView();
        delete printer;
        if (done)
            done(printed);
    });
    dialog->open();
}
