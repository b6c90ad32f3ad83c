#include "preview/KELDocumentPreview.h"

#include "kit/Alert.h"
#include "preview/KELHTMLPreviewManager.h"
#include "preview/KELPreviewDocument.h"
#include "preview/KELPreviewGenerator.h"
#include "preview/KELPreviewUtils.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace {
KELDocumentPreview::PreviewFileChooser& chooserForTesting()
{
    static KELDocumentPreview::PreviewFileChooser chooser;
    return chooser;
}

QString choosePreviewFile(const QString& startFolder, const QString& typeName, QWidget* window)
{
    if (chooserForTesting())
        return chooserForTesting()(startFolder);
    QFileDialog panel(window, QStringLiteral("Select Preview File"), startFolder);
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setFileMode(QFileDialog::ExistingFile);
    panel.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    auto* label
        = new QLabel(QStringLiteral("For %1 files, you must select an HTML or PHP file that will be used for the "
                                    "preview. The preview file should be one that references this %1 file. This "
                                    "preview file can be changed in the future by selecting \"Get Info\" from "
                                    "the \"File\" menu.")
                         .arg(typeName),
            &panel);
    label->setWordWrap(true);
    label->setFixedWidth(400);
    if (auto* grid = qobject_cast<QGridLayout*>(panel.layout()))
        grid->addWidget(label, grid->rowCount(), 0, 1, -1);
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return QString();
    return panel.selectedFiles().constFirst();
}
} // namespace

KELDocumentPreview::KELDocumentPreview(KELPreviewDocument* document)
    : m_document(document)
{
    if (m_document) {
        m_closeObserver = m_document->addCloseObserver([this] {
            m_document = nullptr;
            m_closeObserver = 0;
        });
    }
}

KELDocumentPreview::~KELDocumentPreview()
{
    if (m_document && m_closeObserver)
        m_document->removeCloseObserver(m_closeObserver);
    // The manager hands the editor back before it goes.
    m_previewManager.reset();
    m_previewGenerator.reset();
    m_previewFilePreviewGenerator.reset();
}

void KELDocumentPreview::setPreviewFileChooserForTesting(PreviewFileChooser chooser)
{
    chooserForTesting() = std::move(chooser);
}

bool KELDocumentPreview::assertCanPreview(QWidget* window)
{
    if (!m_document)
        return false;
    if (!m_document->usesPreviewFile() || !m_document->previewFile().isEmpty())
        return true;
    const QString path = m_document->previewFilePath();
    if (path.isEmpty()) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Preview Not Available"));
        alert.setInformativeText(QStringLiteral("%1 files must be saved before previewing.").arg(m_syntaxTypeName));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
        return false;
    }
    const QString chosen = choosePreviewFile(QFileInfo(path).absolutePath(), m_syntaxTypeName, window);
    if (chosen.isEmpty())
        return false;
    if (m_storePreviewFile)
        m_storePreviewFile(chosen);
    return true;
}

void KELDocumentPreview::previewInBrowser(const QString& browser)
{
    if (!assertCanPreview())
        return;
    KELPreviewGenerator* generator = nullptr;
    if (!m_document->usesPreviewFile()) {
        m_previewGenerator = KELPreviewGenerator::generatorWithDocument(m_document);
        generator = m_previewGenerator.get();
    } else {
        // The preview page is read from disk: offer to save this file's edits first.
        if (m_isEdited && m_isEdited()) {
            kit::Alert alert;
            alert.setMessageText(QStringLiteral("Would you like to save your document before previewing?"));
            alert.setInformativeText(QStringLiteral(
                "Your latest changes will not be shown in the preview unless you save. You may also need to refresh "
                "the browser so that it does not use a cached version of the file."));
            alert.addButton(QStringLiteral("Save and Preview"));
            alert.addButton(QStringLiteral("Preview"));
            alert.addButton(QStringLiteral("Cancel"));
            const int answer = alert.runModal();
            if (answer == kit::Alert::ThirdButtonReturn)
                return;
            if (answer == kit::Alert::FirstButtonReturn && m_save && !m_save())
                return;
        }
        if (!m_document)
            return;
        m_previewFilePreviewGenerator = KELPreviewGenerator::generatorWithFileName(m_document->previewFile());
        generator = m_previewFilePreviewGenerator.get();
    }
    if (!generator)
        return;
    generator->generatePreview(
        [this, browser](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result,
            void*) { didCompletePreviewGenerationForBrowser(success, result, browser); },
        nullptr, KELPreviewGenerator::FileResult, 0);
}

void KELDocumentPreview::didCompletePreviewGenerationForBrowser(
    bool success, const std::optional<KELPreviewGeneratorResult>& result, const QString& browser)
{
    if (!success || !result || result->previewFileLocation().isEmpty())
        return;
    const QString title
        = QStringLiteral("Preview for %1").arg(m_document ? m_document->previewDisplayName() : QString());
    KELPreviewUtils::sharedInstance().previewLocation(result->previewFileLocation(), title, browser);
}

KELHTMLPreviewManager* KELDocumentPreview::loadPreviewManager(
    QWidget* editorScrollView, const QObject* textView, bool inProjectWindow)
{
    if (!m_previewManager && m_document)
        m_previewManager
            = std::make_unique<KELHTMLPreviewManager>(m_document, editorScrollView, textView, inProjectWindow);
    return m_previewManager.get();
}

QWidget* KELDocumentPreview::quickPreview(
    QWidget* editorScrollView, const QObject* textView, bool inProjectWindow, QWidget* window)
{
    if (!m_isLivePreviewing) {
        if (!assertCanPreview(window))
            return nullptr;
        KELHTMLPreviewManager* manager = loadPreviewManager(editorScrollView, textView, inProjectWindow);
        if (!manager)
            return nullptr;
        m_isLivePreviewing = true;
        manager->showLivePreview();
        manager->setShouldRefresh(true);
        manager->refresh(nullptr);
        return manager->livePreviewView();
    }
    m_isLivePreviewing = false;
    if (m_previewManager) {
        m_previewManager->hideLivePreview();
        m_previewManager->setShouldRefresh(false);
    }
    return nullptr;
}
