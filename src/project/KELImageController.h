#pragma once
// Shows an image at its pixel size, centred in its window.

#include "project/KELReadOnlyDocumentController.h"

#include <QPointer>

class QLabel;
class QScrollArea;

class KELImageController : public KELReadOnlyDocumentController {
    Q_OBJECT
public:
    explicit KELImageController(const QUrl& url);
    void loadDocument() override;
    QLabel* imageView() const { return m_imageView; }
    QScrollArea* scrollView() const { return m_scrollView; }

protected:
    QWidget* makeWindow() override;

private:
    QPointer<QScrollArea> m_scrollView;
    QPointer<QLabel> m_imageView;
};
