#include "project/KELPDFController.h"

#include "kit/ActionRouter.h"
#include "kit/Log.h"
#include "project/KELPDFView.h"

#include <QAction>
#include <QMainWindow>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>

namespace {
QPrinter& sharedPrinter()
{
    static QPrinter printer;
    return printer;
}
} // namespace

KELPDFController::KELPDFController(const QUrl& url) : KELReadOnlyDocumentController(url) { registerActions(); }

void KELPDFController::registerActions()
{
    // Each command goes to the view, which says whether it can run and shows its state.
    struct Command {
        const char* action;
        std::function<void(KELPDFView*, QObject*)> run;
    };
    const Command commands[] = {
        {"changePDFDisplayMode:", [](KELPDFView* view, QObject* sender) {
             if (const auto* item = qobject_cast<QAction*>(sender))
                 view->changePDFDisplayMode(item->data().toInt());
         }},
        {"toggleAutomaticallyResizes:", [](KELPDFView* view, QObject*) { view->toggleAutomaticallyResizes(); }},
        {"zoomToActualSize:", [](KELPDFView* view, QObject*) { view->zoomToActualSize(); }},
        {"zoomToFit:", [](KELPDFView* view, QObject*) { view->zoomToFit(); }},
        {"zoomIn:", [](KELPDFView* view, QObject*) { view->zoomIn(); }},
        {"zoomOut:", [](KELPDFView* view, QObject*) { view->zoomOut(); }},
        {"goToPreviousPage:", [](KELPDFView* view, QObject*) { view->goToPreviousPage(); }},
        {"goToNextPage:", [](KELPDFView* view, QObject*) { view->goToNextPage(); }},
    };
    for (const Command& command : commands) {
        const QString action = QString::fromLatin1(command.action);
        const auto run = command.run;
        addAction(action, [this, run](QObject* sender) {
            if (m_pdfView) {
                run(m_pdfView, sender);
                validateToolbar();
            }
        }, [this, action](QAction* item) {
            if (!m_pdfView)
                return false;
            bool checked = false;
            const bool enabled = m_pdfView->validateMenuItem(action, item ? item->data().toInt() : 0, &checked);
            if (item && item->isCheckable())
                item->setChecked(checked);
            return enabled;
        });
    }
    addAction(QStringLiteral("runPageLayout:"), [this](QObject*) { runPageLayout(); });
    addAction(QStringLiteral("printDocument:"), [this](QObject*) { printDocument(); },
              [this](QAction*) { return m_document && m_document->pageCount() > 0; });
    addAction(QStringLiteral("performClose:"), [this](QObject*) { close(); });
}

KELPDFController::~KELPDFController()
{
    if (m_pdfView)
        m_pdfView->setDocument(nullptr);
}

QWidget* KELPDFController::makeWindow()
{
    auto* main = new QMainWindow;
    main->setObjectName(QStringLiteral("PDFWindow"));
    auto* view = new KELPDFView(main);
    main->setCentralWidget(view);
    m_pdfView = view;
    main->resize(700, 860);

    auto* bar = new QToolBar(QStringLiteral("KELPDFToolbar"), main);
    bar->setObjectName(QStringLiteral("KELPDFToolbar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setMovable(false);
    struct Item {
        const char* identifier;
        const char* label;
        const char* toolTip;
        const char* icon;
        std::function<void()> run;
    };
    const Item items[] = {
        {"NSToolbarPrintItem", "Print", "Print", "document-print", [this] { printDocument(); }},
        {"", "", "", "", {}},
        {"KELPDFPreviousPageIdentifier", "Previous", "Previous Page", "go-up", [this] { if (m_pdfView) m_pdfView->goToPreviousPage(); }},
        {"KELPDFNextPageIdentifier", "Next", "Next Page", "go-down", [this] { if (m_pdfView) m_pdfView->goToNextPage(); }},
        {"", "", "", "", {}},
        {"KELPDFZoomOutIdentifier", "Zoom Out", "Zoom Out", "zoom-out", [this] { if (m_pdfView) m_pdfView->zoomOut(); }},
        {"KELPDFZoomInIdentifier", "Zoom In", "Zoom In", "zoom-in", [this] { if (m_pdfView) m_pdfView->zoomIn(); }},
    };
    for (const Item& item : items) {
        if (!*item.identifier) {
            bar->addSeparator();
            continue;
        }
        QAction* action = bar->addAction(QIcon::fromTheme(QString::fromLatin1(item.icon)), QString::fromLatin1(item.label));
        action->setObjectName(QString::fromLatin1(item.identifier));
        action->setToolTip(QString::fromLatin1(item.toolTip));
        connect(action, &QAction::triggered, this, item.run);
    }
    main->addToolBar(bar);
    m_toolbar = bar;
    // The application's menus act on the viewer while it is in front.
    kit::ActionRouter::shared().setWindowResponder(main, this);
    connect(view, &KELPDFView::validationNeeded, this, [this] { validateToolbar(); });
    return main;
}

void KELPDFController::windowDidLoad()
{
    // The stored settings apply before the document loads.
    if (m_pdfView)
        m_pdfView->setDefaultsPrefix(DefaultsPrefix);
    KELReadOnlyDocumentController::windowDidLoad();
    validateToolbar();
}

void KELPDFController::loadDocument()
{
    if (!m_pdfView)
        return;
    auto document = std::make_unique<QPdfDocument>();
    const QPdfDocument::Error error = document->load(documentURL().toLocalFile());
    if (error != QPdfDocument::Error::None)
        kit::log(QStringLiteral("Could not read the PDF file %1 (error %2)").arg(documentURL().toLocalFile()).arg(int(error)));
    m_pdfView->setDocumentPreservingDestination(document.get());
    // The view no longer shows the old document; it goes after this turn.
    m_previousDocument = std::move(m_document);
    m_document = std::move(document);
    validateToolbar();
}

void KELPDFController::validateToolbar()
{
    if (!m_toolbar || !m_pdfView)
        return;
    for (QAction* action : m_toolbar->actions()) {
        const QString id = action->objectName();
        if (id == QLatin1String("KELPDFPreviousPageIdentifier"))
            action->setEnabled(m_pdfView->canGoToPreviousPage());
        else if (id == QLatin1String("KELPDFNextPageIdentifier"))
            action->setEnabled(m_pdfView->canGoToNextPage());
        else if (id == QLatin1String("NSToolbarPrintItem"))
            action->setEnabled(m_document && m_document->pageCount() > 0);
    }
}

void KELPDFController::runPageLayout()
{
    QPageSetupDialog dialog(&sharedPrinter(), window());
    dialog.exec();
}

void KELPDFController::printDocument()
{
    if (!m_document || m_document->pageCount() <= 0)
        return;
    QPrinter& printer = sharedPrinter();
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const int count = m_document->pageCount();
    for (int page = 0; page < count; ++page) {
        if (page > 0)
            printer.newPage();
        const QRect area = painter.viewport();
        QSizeF size = m_document->pagePointSize(page);
        // Pages turn to fit the paper's orientation.
        const bool rotate = (size.width() > size.height()) != (area.width() > area.height());
        if (rotate)
            size.transpose();
        const qreal scale = qMin(area.width() / size.width(), area.height() / size.height());
        const QSize target = (size * scale).toSize();
        QImage image = m_document->render(page, rotate ? target.transposed() : target);
        if (rotate)
            image = image.transformed(QTransform().rotate(90));
        painter.drawImage(QRect(QPoint(0, 0), target), image);
    }
    painter.end();
}
