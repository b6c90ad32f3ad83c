#include "project/KELPDFView.h"

#include "kit/UserDefaults.h"
#include "project/KELImageController.h"
#include "project/KELPDFController.h"
#include "project/KELReadOnlyDocumentController.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writePDF(const QString& path, int pages)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(100, 100, QStringLiteral("Page %1").arg(i + 1));
    }
    return painter.end();
}

bool writeEmptyPDF(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
               "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
               "trailer << /Root 1 0 R >>\n%%EOF\n");
    return true;
}

class KELPDFViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
    }
    QTemporaryDir dir;
};

TEST_F(KELPDFViewTest, ViewsShareTheirStoredSettingsLastChangeWins)
{
    KELPDFView first;
    first.setDefaultsPrefix("KELPDFController");
    KELPDFView second;
    second.setDefaultsPrefix("KELPDFController");
    first.setDisplayMode(KELPDFView::SinglePage);
    second.setScaleFactor(1.5);
    EXPECT_EQ(kit::UserDefaults::standard().value("KELPDFController:KELPDFScaleDefaultsSuffix").toDouble(), 1.5);

    KELPDFView next;
    next.setDefaultsPrefix("KELPDFController");
    EXPECT_EQ(next.displayMode(), KELPDFView::SinglePageContinuous) << "the second view wrote its own mode last";
    EXPECT_DOUBLE_EQ(next.scaleFactor(), 1.5);
    EXPECT_FALSE(next.autoScales());

    second.setAutoScales(true);
    KELPDFView fitting;
    fitting.setDefaultsPrefix("KELPDFController");
    EXPECT_TRUE(fitting.autoScales());
}

TEST_F(KELPDFViewTest, ZoomToFitKeepsTheFittedScaleThenZoomStartsFromIt)
{
    ASSERT_TRUE(writePDF(dir.filePath("a.pdf"), 2));
    QPdfDocument document;
    ASSERT_EQ(document.load(dir.filePath("a.pdf")), QPdfDocument::Error::None);
    KELPDFView view;
    view.resize(400, 300);
    view.setDocument(&document);
    view.setScaleFactor(3.0);
    const qreal fitted = view.fittedScale();
    view.zoomToFit();
    EXPECT_FALSE(view.autoScales());
    EXPECT_NEAR(view.scaleFactor(), fitted, 1e-9);
    view.zoomIn();
    EXPECT_FALSE(view.autoScales());
    EXPECT_NEAR(view.scaleFactor(), fitted * 1.25, 1e-9);
    view.setDocument(nullptr);
}

TEST_F(KELPDFViewTest, ActualSizeItemIsOnOnlyAtScaleOne)
{
    KELPDFView view;
    bool checked = false;
    for (const auto& [scale, on] : {std::pair{1.0, true}, {1.00005, true}, {1.001, false}}) {
        view.setScaleFactor(scale);
        EXPECT_TRUE(view.validateMenuItem("zoomToActualSize:", 0, &checked));
        EXPECT_EQ(checked, on) << scale;
    }
    view.setDisplayMode(KELPDFView::TwoUp);
    view.validateMenuItem("changePDFDisplayMode:", 2, &checked);
    EXPECT_TRUE(checked);
    view.validateMenuItem("changePDFDisplayMode:", 1, &checked);
    EXPECT_FALSE(checked);
}

TEST_F(KELPDFViewTest, ReloadingAShorterFileShowsItsLastPageAndAnEmptyOneShowsNothing)
{
    const QString path = dir.filePath("book.pdf");
    ASSERT_TRUE(writePDF(path, 5));
    KELReadOnlyDocumentController* viewer = KELReadOnlyDocumentController::openReadOnlyDocument(QUrl::fromLocalFile(path), true);
    auto* pdf = qobject_cast<KELPDFController*>(viewer);
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdf->pdfDocument()->pageCount(), 5);
    pdf->pdfView()->pageNavigator()->jump(4, QPointF(), 0);
    EXPECT_EQ(pdf->pdfView()->currentPage(), 4);

    ASSERT_TRUE(writePDF(path, 2));
    pdf->loadDocument();
    EXPECT_EQ(pdf->pdfDocument()->pageCount(), 2);
    EXPECT_EQ(pdf->pdfView()->currentPage(), 1);

    ASSERT_TRUE(writeEmptyPDF(path));
    pdf->loadDocument();
    EXPECT_EQ(pdf->pdfDocument()->pageCount(), 0);
    EXPECT_FALSE(pdf->pdfView()->canGoToNextPage());
    EXPECT_FALSE(pdf->pdfView()->canGoToPreviousPage());
    pdf->pdfView()->goToNextPage();
    pdf->pdfView()->zoomToFit();
    pdf->window()->repaint();
    pdf->close();
}

TEST_F(KELPDFViewTest, ViewersByTypeAndImagesAtTheirPixelSize)
{
    QImage image(31, 17, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(dir.filePath("logo.png")));
    auto* viewer = qobject_cast<KELImageController*>(
        KELReadOnlyDocumentController::openReadOnlyDocument(QUrl::fromLocalFile(dir.filePath("logo.png")), true));
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->imageView()->size(), QSize(31, 17));
    EXPECT_EQ(viewer->window()->windowTitle(), "logo.png");
    // The same file brings the same window.
    EXPECT_EQ(KELReadOnlyDocumentController::openReadOnlyDocument(QUrl::fromLocalFile(dir.filePath("logo.png")), true), viewer);
    viewer->close();

    QFile text(dir.filePath("a.html"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("<p>");
    text.close();
    EXPECT_EQ(KELReadOnlyDocumentController::controllerWithURL(QUrl::fromLocalFile(dir.filePath("a.html"))), nullptr);
}

} // namespace
