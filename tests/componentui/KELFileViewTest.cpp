#include "componentui/KELFileView.h"

#include "ComponentUITestSupport.h"

#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

using namespace componentuitest;

namespace {

QMimeData* filesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

/// Drags the files over the view and drops them; whether the view took them.
bool dragAndDrop(KELFileView& view, const QStringList& paths, bool* hovered = nullptr)
{
    std::unique_ptr<QMimeData> data(filesData(paths));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    if (hovered)
        *hovered = view.dragIsHovering();
    if (!enter.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&view, &leave);
        return false;
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

} // namespace

TEST(KELFileViewTest, ShowsTheLastComponentsWithIconsOnOneLineOrEach)
{
    KELFileView view;
    EXPECT_EQ(view.displayValue(), KELFileView::NoneText);
    view.setFileName(QStringLiteral("/home/me/site/pictures/beach.jpg"));
    struct Case {
        bool multiLine;
        int maxComponents;
        int width;
        QString shown;
    };
    const int wide = 2000;
    for (const Case& c : { Case { true, 2, wide, QStringLiteral("pictures\nbeach.jpg") }, Case { true, -1, 10, QStringLiteral("home\nme\nsite\npictures\nbeach.jpg") },
             Case { false, 2, wide, QStringLiteral("pictures ➞ beach.jpg") }, Case { false, 2, 60, QStringLiteral("beach.jpg") },
             Case { false, -1, wide, QStringLiteral("home ➞ me ➞ site ➞ pictures ➞ beach.jpg") } }) {
        view.setMultiLine(c.multiLine);
        view.setMaxComponents(c.maxComponents);
        EXPECT_EQ(view.displayValue(c.width), c.shown) << c.shown.toStdString();
        for (const KELFileView::Component& component : view.displayComponents(c.width))
            EXPECT_FALSE(component.icon.isNull()) << component.name.toStdString();
    }
    // Multi-line, each component takes a line of the fitted size.
    view.setMultiLine(true);
    view.setMaxComponents(2);
    const QSize two = view.sizeToFitContents();
    view.setMaxComponents(3);
    EXPECT_GT(view.sizeToFitContents().height(), two.height());
    view.setFileName(QString());
    EXPECT_EQ(view.displayValue(), KELFileView::NoneText);
}

TEST(KELFileViewTest, BoundFileNameFollowsItsValueAndDropsWriteItBack)
{
    QTemporaryDir dir;
    auto holder = std::make_shared<kit::KeyValueObject>();
    holder->setValue(QStringLiteral("path"), dir.filePath(QStringLiteral("a.png")));
    KELFileView view;
    view.resize(300, 60);
    ASSERT_TRUE(view.bind(KELFileView::FileNameBinding, holder, QStringLiteral("path")));
    EXPECT_FALSE(view.bind(QStringLiteral("value"), holder, QStringLiteral("path")));
    EXPECT_EQ(view.fileName(), dir.filePath(QStringLiteral("a.png")));
    holder->setValue(QStringLiteral("path"), dir.filePath(QStringLiteral("b.png")));
    EXPECT_EQ(view.fileName(), dir.filePath(QStringLiteral("b.png")));
    // What is not a path shows as none.
    holder->setValue(QStringLiteral("path"), QVariantList { 1, 2 });
    EXPECT_EQ(view.fileName(), QString());
    EXPECT_EQ(view.displayValue(), KELFileView::NoneText);

    const QStringList three { dir.filePath(QStringLiteral("one.png")), dir.filePath(QStringLiteral("two.png")), dir.filePath(QStringLiteral("three.png")) };
    // Not editable: refused, and no hover frame.
    bool hovered = true;
    EXPECT_FALSE(dragAndDrop(view, three, &hovered));
    EXPECT_FALSE(hovered);
    view.setEditable(true);
    // The owner refuses the first file: refused.
    QStringList asked;
    view.shouldAcceptDropForFileName = [&asked](const QString& path) {
        asked << path;
        return !path.endsWith(QLatin1String("one.png"));
    };
    EXPECT_FALSE(dragAndDrop(view, three));
    EXPECT_EQ(asked.value(0), three.first());
    // Approved: only the first file is taken, shown and written back.
    asked.clear();
    EXPECT_TRUE(dragAndDrop(view, { three.at(1), three.at(2) }, &hovered));
    EXPECT_TRUE(hovered);
    EXPECT_FALSE(view.dragIsHovering());
    EXPECT_EQ(view.fileName(), three.at(1));
    EXPECT_EQ(holder->value(QStringLiteral("path")).toString(), three.at(1));

    // Unbound, the view goes its own way.
    view.unbind(KELFileView::FileNameBinding);
    holder->setValue(QStringLiteral("path"), dir.filePath(QStringLiteral("c.png")));
    EXPECT_EQ(view.fileName(), three.at(1));
}

TEST(KELFileViewTest, UrlFormatterShowsFilesByNameAndOtherUrlsWhole)
{
    struct Case {
        QVariant value;
        std::optional<QString> shown;
        bool icon;
    };
    for (const Case& c : { Case { QVariant(QStringLiteral("/not/a/url.png")), std::nullopt, false },
             Case { QVariant(QUrl::fromLocalFile(QStringLiteral("/site/pictures/my beach.jpg"))), QStringLiteral("my beach.jpg"), true },
             Case { QVariant(QUrl(QStringLiteral("https://example.com/a%20b.png"))), QStringLiteral("https://example.com/a%20b.png"), false },
             Case { QVariant(), std::nullopt, false } }) {
        EXPECT_EQ(KELURLFormatter::stringForObjectValue(c.value), c.shown) << c.value.toString().toStdString();
        EXPECT_EQ(!KELURLFormatter::iconForObjectValue(c.value).isNull(), c.icon) << c.value.toString().toStdString();
    }
}
