#pragma once
// Shows a PDF file with a toolbar (print, previous and next page, zoom out and in).

#include "project/KELPDFView.h"
#include "project/KELReadOnlyDocumentController.h"
#include "kit/Responder.h"

#include <QPointer>
#include <memory>

class QPdfDocument;
class QToolBar;

class KELPDFController : public KELReadOnlyDocumentController, public kit::Responder {
    Q_OBJECT
public:
    static inline const QString DefaultsPrefix = QStringLiteral("KELPDFController");

    explicit KELPDFController(const QUrl& url);
    ~KELPDFController() override;

    KELPDFView* pdfView() const { return m_pdfView; }
    QToolBar* toolbar() const { return m_toolbar; }
    QPdfDocument* pdfDocument() const { return m_document.get(); }

    void loadDocument() override;
    void windowDidLoad() override;
    void runPageLayout();
    void printDocument();
    void validateToolbar();
    /// The viewer's commands of the application's menus (display modes, zoom,
    /// actual size, fit, automatic resizing, pages, page setup, print).
    void registerActions();

protected:
    QWidget* makeWindow() override;

private:
    QPointer<KELPDFView> m_pdfView;
    QPointer<QToolBar> m_toolbar;
    std::unique_ptr<QPdfDocument> m_document;
    std::unique_ptr<QPdfDocument> m_previousDocument;
};
