#include "document/MyDocumentCommands.h"

#include "document/MyDocument.h"
#include "kit/text/TextStorage.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

using kit::Range;

namespace {
SyntaxType* syntaxTypeOf(const MyDocument* document)
{
    return document ? SyntaxManager::sharedInstance().typeForName(document->syntaxTypeName()) : nullptr;
}
} // namespace

MyDocumentCommands::Services MyDocumentCommands::defaultServices()
{
    Services s;
    s.isTextInRange = [](KELHTMLView* view, Range range) {
        auto* commands = view ? dynamic_cast<MyDocumentCommands*>(view->document()) : nullptr;
        SyntaxType* type = commands ? syntaxTypeOf(commands->document()) : nullptr;
        if (!type)
            return true;
        range = Range::intersection(range, Range(0, view->textStorage()->length()));
        return type->htmlViewIsTextInRange(view->textStorage(), range);
    };
    s.colorWholeText = [](MyDocument* document, KELHTMLView* view) {
        kit::TextStorage* storage = view->textStorage();
        const qsizetype length = storage->length();
        SyntaxType* type = syntaxTypeOf(document);
        if (!type) {
            view->setColor(Qt::black, Range(0, length));
            return;
        }
        SyntaxInfo info(Range(0, length));
        info.setSwitchIndex(length + 1);
        info.setMaxColoringLength(quint64(length + 1));
        type->colorHTMLView(view, info, false, nullptr);
    };
    return s;
}
