#pragma once
// The commands that act on one text document (formatting, links, Quick Insert, the
// next placeholder, comments, tag organisation, shifting, Go to Line, Get Info), the
// document's decisions for its editor (where spelling marks may go, how a double click
// selects inside markup), and printing with an optional gutter and colouring.
//
// The document owns one of these beside its editor view. Services of later parts of
// the program (document structure, error checker, preview, Get Info, the file manager)
// come in through the Services hooks; a missing hook leaves its command disabled.

#include "editor/KELHTMLView.h"
#include "kit/Responder.h"
#include "kit/Types.h"
#include "kit/text/ScrollView.h"

#include <QObject>
#include <QPageLayout>
#include <QPointer>
#include <functional>
#include <memory>

class KELLineNumberView;
class MyDocument;
class QAction;
class QPrinter;
class QWidget;

class MyDocumentCommands : public QObject, public KELHTMLViewDocument, public kit::Responder
{
    Q_OBJECT
public:
    struct Services
    {
        // Document structure: comments in the language at the caret.
        std::function<bool(MyDocumentCommands&)> isSelectionCommented;
        std::function<bool(MyDocumentCommands&, bool* isCommented)> canAddOrRemoveCommentsForSelection;
        std::function<void(MyDocumentCommands&)> addCommentsForSelection;
        std::function<void(MyDocumentCommands&)> removeCommentsForSelection;
        /// Whether a range is text a reader sees (not markup, script or style).
        std::function<bool(KELHTMLView*, kit::Range)> isTextInRange;
        /// Colours a view's whole text with the document's syntax type (printing).
        std::function<void(MyDocument*, KELHTMLView*)> colorWholeText;
        // Colouring and completion of the document's editor.
        std::function<void(MyDocument*, KELHTMLView*)> suggestCompletion;
        std::function<void(MyDocument*, KELHTMLView*)> colorAllTags;
        std::function<void(MyDocument*, KELHTMLView*)> colorViewableTags;
        // Error checker.
        std::function<void(KELHTMLView*)> organizeTags;
        std::function<bool(const QString& typeName)> isSyntaxCheckAvailable;
        std::function<void(MyDocument*)> showErrorChecker;
        // Files.
        std::function<void(const QString& path)> showGetInfo;
        std::function<void(const QString& path)> showInFileManager;
        std::function<void(const QString& path)> revealInDocumentTree;
        // Preview.
        std::function<void(MyDocument*, const QString& browser)> previewInBrowser;
        std::function<void(MyDocument*)> toggleLivePreview;
        std::function<void(MyDocument*)> refreshLivePreview;
    };
    /// The hooks in use; they start as defaultServices().
    static Services& services();
    /// What the colouring engine answers already: which text is markup, script or
    /// style (through the document's syntax type), and colouring a print copy.
    static Services defaultServices();

    MyDocumentCommands(MyDocument* document, KELHTMLView* editor, QObject* parent = nullptr);
    ~MyDocumentCommands() override;

    MyDocument* document() const { return m_document; }
    KELHTMLView* editor() const { return m_editor; }
    QString syntaxTypeName() const;

    // --- Commands.
    /// The title of the chosen item picks the tags ("Bold", "Italic" ... "Link to URL").
    void formatTags(const QString& title);
    void linkSelectionToUrl();
    void quickInsert(const QString& symbol);
    /// Selects the next "<#...#>" after the selection, wrapping; beeps when there is none.
    bool selectNextPlaceholder();
    void toggleComments();
    void organizeTags();
    void shiftLeft();
    void shiftRight();
    bool showLineNumber(qint64 line);
    void getInfo();
    void showInFinder();
    void revealInDocumentTree();
    void showErrorChecker();
    /// Recolours the visible text (asked when a window shows the document).
    void colorViewableTags();
    bool validateAction(const QString& action, QAction* item) override;

    // --- Decisions for the editor (KELHTMLViewDocument).
    kit::UndoManager* documentUndoManager() override;
    bool isTextEncodableForDocumentEncoding(const QString& text) override;
    int textViewShouldSetSpellingState(KELHTMLView* view, int state, kit::Range range) override;
    kit::Range textViewSelectionRangeForProposedRange(
        KELHTMLView* view, kit::Range proposed, kit::SelectionGranularity granularity) override;

    // --- Printing.
    /// Builds the print copy: a view with the editor's text in the "Font" font, and its
    /// gutter for printing; colours it as "KELPrintDocumentEnableTextColoring" says.
    void preparePrintView();
    KELHTMLView* printTextView() const { return m_printView; }
    KELLineNumberView* printGutter() const { return m_printGutter; }
    void changeEnableTextColoringForPrinting();
    void changeEnableLineNumberingForPrinting();
    /// Lays the print copy out for the printer's page width.
    void updatePrintDimensions(QPrinter* printer);
    /// Page Setup: the paper, orientation and margins every later print uses.
    static void runPageLayout(QWidget* parent);
    static QPageLayout& pageLayout();
    /// Prints the document; false when nothing could be printed. The print copy is
    /// dropped afterwards.
    bool printToPrinter(QPrinter* printer);
    /// The print panel with the two print options; done receives whether it printed.
    void printDocument(QWidget* parent, std::function<void(bool printed)> done = {});

private:
    void registerCommands();
    void dropPrintView();

    QPointer<MyDocument> m_document;
    QPointer<KELHTMLView> m_editor;
    std::unique_ptr<kit::ScrollView> m_printScroll;
    KELHTMLView* m_printView = nullptr;
    KELLineNumberView* m_printGutter = nullptr;
};
