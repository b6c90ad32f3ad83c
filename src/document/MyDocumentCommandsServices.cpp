#include "document/MyDocumentCommands.h"

#include "checker/KELSyntaxCheck.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "document/MyDocument.h"
#include "kit/text/TextStorage.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

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
    s.isSyntaxCheckAvailable
        = [](const QString& typeName) { return KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(typeName); };
    s.organizeTags = [](KELHTMLView* view) { KELSyntaxCheckTypeHTML::sharedInstance().organizeTags(view); };
    s.showInFileManager = [](const QString& path) {
        // The desktop's file manager shows the item; without one, its folder opens.
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("ShowItems"));
        call << QStringList { QUrl::fromLocalFile(path).toString() } << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    return s;
}
