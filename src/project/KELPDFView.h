#pragma once
// The PDF view of the PDF viewer: it keeps its display mode, scale and automatic
// scaling in the user defaults under a prefix, and keeps the reader's page when
// the document is replaced by a newer version of the file.

#include <QPdfView>
#include <QPointer>

class QPdfDocument;

inline const QString KELPDFDisplayModeDefaultsSuffix = QStringLiteral("KELPDFDisplayModeDefaultsSuffix");
inline const QString KELPDFScaleDefaultsSuffix = QStringLiteral("KELPDFScaleDefaultsSuffix");
inline const QString KELPDFAutoresizeDefaultsSuffix = QStringLiteral("KELPDFAutoresizeDefaultsSuffix");

class KELPDFView : public QPdfView {
    Q_OBJECT
public:
    // Display modes: single page, single page continuous, two pages, two pages
    // continuous. Two-page modes show one page per row.
    enum DisplayMode { SinglePage = 0, SinglePageContinuous = 1, TwoUp = 2, TwoUpContinuous = 3 };

    explicit KELPDFView(QWidget* parent = nullptr);

    const QString& defaultsPrefix() const { return m_defaultsPrefix; }
    /// Applies the stored settings when no document is shown yet.
    void setDefaultsPrefix(const QString& prefix);
    static QString defaultsKey(const QString& prefix, const QString& suffix);

    int displayMode() const { return m_displayMode; }
    void setDisplayMode(int mode);
    qreal scaleFactor() const { return zoomFactor(); }
    void setScaleFactor(qreal scale);
    bool autoScales() const { return zoomMode() == QPdfView::ZoomMode::FitInView; }
    void setAutoScales(bool on);
    /// The scale at which the current page fits the view.
    qreal fittedScale() const;

    void zoomIn();
    void zoomOut();
    void zoomToActualSize();
    void zoomToFit();
    void goToPreviousPage();
    void goToNextPage();
    void changePDFDisplayMode(int tag) { setDisplayMode(tag); }
    void toggleAutomaticallyResizes() { setAutoScales(!autoScales()); }
    bool canGoToPreviousPage() const;
    bool canGoToNextPage() const;
    int currentPage() const;

    /// Menu state: the item's check mark and whether it is enabled.
    bool validateMenuItem(const QString& action, int tag, bool* checked) const;

    /// Shows the new document on the page the reader was on (the last page when it
    /// has fewer pages now; nothing to navigate when it has none).
    void setDocumentPreservingDestination(QPdfDocument* document);

Q_SIGNALS:
    /// The toolbar's items may need new states.
    void validationNeeded();

private:
    void updateDefaults() const;
    void applyPageMode();

    QString m_defaultsPrefix;
    int m_displayMode = SinglePageContinuous;
};
