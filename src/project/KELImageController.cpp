#include "project/KELImageController.h"

#include "support/ColorAdditions.h"
#include "support/InterfaceHelpers.h"

#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>

KELImageController::KELImageController(const QUrl& url) : KELReadOnlyDocumentController(url) {}

QWidget* KELImageController::makeWindow()
{
    auto* main = new QMainWindow;
    main->setObjectName(QStringLiteral("ImageWindow"));
    auto* scroll = new KELCenteredClipView(main);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setWidgetResizable(false);
    QPalette palette = scroll->palette();
    palette.setColor(QPalette::Window, imageBackgroundColor());
    scroll->setPalette(palette);
    scroll->setBackgroundRole(QPalette::Window);
    main->setCentralWidget(scroll);
    m_scrollView = scroll;
    main->resize(640, 480);
    return main;
}

void KELImageController::loadDocument()
{
    if (!m_scrollView)
        return;
    QImageReader reader(documentURL().toLocalFile());
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    auto* view = new KELPreviewImageView;
    view->setObjectName(QStringLiteral("imageView"));
    if (!image.isNull()) {
        // One image pixel shows as one point: the view is the image's size.
        view->setImage(image);
        view->resize(image.size());
    } else {
        view->resize(0, 0);
    }
    m_scrollView->setWidget(view);
    m_imageView = view;
}
