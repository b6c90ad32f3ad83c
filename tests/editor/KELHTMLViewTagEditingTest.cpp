#include "editor/KELHTMLView.h"

#include "../html/Printers.h"
#include "EditorTestSupport.h"
#include "editor/KELCodeClipSource.h"
#include "html/AttributeTableManager.h"
#include "html/Tag.h"
#include "html/TagAttribute.h"
#include "html/TagChecker.h"
#include "kit/UndoManager.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using kit::NotFound;
using kit::Range;

namespace {

class KELHTMLViewTagEditingTest : public EditorViewTest
{
protected:
    void TearDown() override
    {
        KELHTMLView::setDocumentFilePathProviderForTesting({});
        KELCodeClipSource::setShared(nullptr);
        EditorViewTest::TearDown();
    }
    QString attributeList(const QString& text, const Tag& tag, bool* selfClosing = nullptr)
    {
        view->setString(text);
        QStringList out;
        for (const TagAttribute& a : view->attributesInRange(Range(0, text.size()), tag, selfClosing))
            if (!a.value().isEmpty())
                out << a.name() + QLatin1Char('=') + a.value();
        return out.join(QLatin1Char('|'));
    }
    AttributeTableManager* table() const { return view->editTagPanel()->findChild<AttributeTableManager*>(); }
    int rowOf(const QString& name) const
    {
        for (int row = 0; row < table()->rowCount(); ++row)
            if (table()->attributes().at(row).name() == name)
                return row;
        return -1;
    }
    // Types into the row's value cell as a user would: the cell opens, the text goes in key by key.
    void typeValue(int row, const QString& text)
    {
        AttributeTableView* tv = table()->tableView();
        const QModelIndex index = table()->index(row, AttributeTableManager::ValueColumn);
        tv->setCurrentIndex(index);
        tv->edit(index);
        auto* field = qobject_cast<QLineEdit*>(tv->indexWidget(index));
        ASSERT_TRUE(field);
        field->selectAll();
        QTest::keyClicks(field, text);
    }
};

TEST_F(KELHTMLViewTagEditingTest, FindsTheStartTagAroundAnIndex)
{
    const QString text = QStringLiteral("<p class=\"a\">text</p><!-- c --><?php x ?><br/>");
    view->setString(text);
    struct Case
    {
        qsizetype index;
        Range expected;
    } cases[] = {
        {0, Range(0, 13)},           // at "<"
        {5, Range(0, 13)},           // inside
        {12, Range(0, 13)},          // at ">"
        {14, Range(NotFound, 0)},    // between tags
        {19, Range(NotFound, 0)},    // end tag
        {25, Range(NotFound, 0)},    // comment
        {35, Range(NotFound, 0)},    // processing instruction
        {text.size() - 2, Range(text.size() - 5, 5)},
        {text.size(), Range(NotFound, 0)},
        {-1, Range(NotFound, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view->indexLiesInTag(c.index), c.expected) << "index " << c.index;
    view->setSelectedRange(Range(16, 0));
    EXPECT_FALSE(view->canStartTagEdit());
}

TEST_F(KELHTMLViewTagEditingTest, ReadsAttributesAsWritten)
{
    const Tag empty;
    struct Case
    {
        const char* tag;
        const char* attributes;
        bool selfClosing;
    } cases[] = {
        {"<img src=\"my photo.png\" alt=Sea width>", "src=my photo.png|alt=Sea|width=KELNoValue", false},
        {"<a href='x.html' TITLE=\"\">", "href=x.html|title=KELNoValue", false},
        {"<br/>", "", true},
        {"<br />", "", true},
        {"<x a=1 a=2 / =>", "a=1|a=2", false}, // unknown twice: listed twice; stray "/" skipped
    };
    for (const Case& c : cases) {
        bool selfClosing = false;
        EXPECT_EQ(attributeList(QString::fromUtf8(c.tag), empty, &selfClosing), QString::fromUtf8(c.attributes))
            << c.tag;
        EXPECT_EQ(selfClosing, c.selfClosing) << c.tag;
    }
    view->setString(QStringLiteral("<br/>"));
    EXPECT_EQ(view->tagStringForTagRange(Range(0, 5)), QStringLiteral("br/"));
    view->setString(QStringLiteral("<br />"));
    EXPECT_EQ(view->tagStringForTagRange(Range(0, 6)), QStringLiteral("br"));

    // A known attribute named twice keeps the last value, in the vocabulary's place.
    const Tag* img = TagChecker::currentTagChecker().tag(QStringLiteral("img"));
    ASSERT_TRUE(img);
    const qsizetype alt = KELHTMLView::shouldAddString(QStringLiteral("alt"), *img);
    ASSERT_GE(alt, 0);
    view->setString(QStringLiteral("<img alt=one ALT=two>"));
    const QList<TagAttribute> list = view->attributesInRange(Range(0, 21), *img, nullptr);
    EXPECT_EQ(list.size(), img->attributes().size());
    EXPECT_EQ(list.at(alt).value(), QStringLiteral("two"));
}

TEST_F(KELHTMLViewTagEditingTest, EditTagRewritesTheTagFoundAgainAfterTyping)
{
    view->setString(QStringLiteral("<p>\n<img src=\"a b.png\" alt=Sea>\n</p>"));
    view->setSelectedRange(Range(8, 0));
    view->startTagEdit();
    ASSERT_TRUE(view->editTagPanel());
    EXPECT_TRUE(view->editTagPanel()->isVisible());
    EXPECT_EQ(view->editTagPanel()->findChild<QLabel*>(QStringLiteral("editText"))->text(),
        QStringLiteral("Edit \"img\" Tag"));
    ASSERT_GE(rowOf(QStringLiteral("src")), 0);
    EXPECT_EQ(table()->value(rowOf(QStringLiteral("src"))), QStringLiteral("a b.png"));
    typeValue(rowOf(QStringLiteral("alt")), QStringLiteral("The \"sea\""));

    // Typing inside the tag while the panel is open.
    view->setSelectedRange(Range(9, 0));
    QTest::keyClicks(view, QStringLiteral("zz"));
    auto* box = view->editTagPanel()->findChild<QDialogButtonBox*>();
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(view->string(), QStringLiteral("<p>\n<img alt='The \"sea\"' src=\"a b.png\">\n</p>"));
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Edit Tag"));

    // When the tag is gone, confirming changes nothing.
    view->setSelectedRange(Range(6, 0));
    view->startTagEdit();
    const Range tag = view->indexLiesInTag(6);
    view->replaceCharactersWithUndoInRange(tag, QString());
    view->setSelectedRange(Range(0, 3));
    const QString before = view->string();
    view->editTag();
    EXPECT_EQ(view->string(), before);
}

TEST_F(KELHTMLViewTagEditingTest, InsertsClipsWithTheSelectionMarker)
{
    kit::UserDefaults::standard().setValue(KELAutoIndentAfterNewlineKey, true);
    kit::UserDefaults::standard().setValue(KELOrganizeTagsSpacer, qlonglong(0));
    kit::UserDefaults::standard().setValue(KELOrganizeTagsNumSpaces, qlonglong(2));
    view->setString(QStringLiteral("say word now"));
    view->setSelectedRange(Range(4, 4));
    view->insertCodeClipContent(QStringLiteral("<b><##></b>"), false);
    EXPECT_EQ(view->string(), QStringLiteral("say <b>word</b> now"));
    EXPECT_EQ(view->selectedRange(), Range(7, 4));
    EXPECT_EQ(view->editorUndoManager()->undoActionName(), QStringLiteral("Insert Code Clip"));

    // Two clips dragged together follow one another, the caret after them.
    auto* data = new QMimeData;
    data->setData(KELCodeClipsContentPboardType, codeClipsContentData({QStringLiteral("<i><##></i>"), QStringLiteral("!")}));
    EXPECT_TRUE(view->performDrop(data, 0, false));
    EXPECT_EQ(view->string(), QStringLiteral("<i></i>!say <b>word</b> now"));
    EXPECT_EQ(view->selectedRange(), Range(8, 0));
    auto* broken = new QMimeData;
    broken->setData(KELCodeClipsContentPboardType, QByteArray("junk"));
    EXPECT_FALSE(view->readSelectionFromMimeData(broken));
    delete data;
    delete broken;

    // A three-line clip on a line indented by two units.
    view->setString(QStringLiteral("    x\n"));
    view->setSelectedRange(Range(5, 0));
    view->insertCodeClipContent(QStringLiteral("<ul>\n<li>\n</ul>"), false);
    EXPECT_EQ(view->string(), QStringLiteral("    x<ul>\n    <li>\n    </ul>\n"));
}

TEST_F(KELHTMLViewTagEditingTest, DroppedFilesBecomeTagsWithRelativePaths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(100, 50, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(dir.filePath(QStringLiteral("sea.png"))));
    QDir(dir.path()).mkdir(QStringLiteral("css"));
    for (const char* name : {"css/a.css", "css/b.css", "page two.html"}) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("sea.png")))});

    // Untitled: refused.
    view->setString(QStringLiteral("ab"));
    KELHTMLView::setDocumentFilePathProviderForTesting([](const KELHTMLView*) { return QString(); });
    EXPECT_FALSE(view->performDrop(&data, 1, false));
    EXPECT_EQ(view->string(), QStringLiteral("ab"));

    const QString page = dir.filePath(QStringLiteral("index.html"));
    KELHTMLView::setDocumentFilePathProviderForTesting([page](const KELHTMLView*) { return page; });
    EXPECT_TRUE(view->performDrop(&data, 1, false));
    const QString img = QStringLiteral("<img src=\"sea.png\" height=\"50\" width=\"100\" border=\"0\"/>");
    EXPECT_EQ(view->string(), QStringLiteral("a") + img + QStringLiteral("b"));
    EXPECT_EQ(view->selectedRange(), Range(1, img.size()));

    view->setString(QString());
    data.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("css/a.css"))),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("css/b.css"))),
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("page two.html")))});
    EXPECT_TRUE(view->readSelectionFromMimeData(&data));
    const QString text = view->string();
    EXPECT_TRUE(text.startsWith(QStringLiteral("<link type=\"text/css\" rel=\"stylesheet\" href=\"css/a.css\"/>"
                                               "<link type=\"text/css\" rel=\"stylesheet\" href=\"css/b.css\"/><a href=\"page")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("page two"))); // made safe for markup
}

class FakeClipStore : public KELCodeClipSource
{
public:
    void menuNeedsUpdate(QMenu* menu) override
    {
        QAction* action = menu->addAction(QStringLiteral("Bold"));
        action->setData(QStringLiteral("<b><##></b>"));
    }
};

TEST_F(KELHTMLViewTagEditingTest, ContextMenuOffersEditTagAndClips)
{
    FakeClipStore store;
    KELCodeClipSource::setShared(&store);
    view->setString(QStringLiteral("<p id=x>hi</p>"));
    view->setSelectedRange(Range(8, 2));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5));
    std::unique_ptr<QMenu> outside(view->menuForEvent(&event));
    ASSERT_TRUE(outside);
    EXPECT_FALSE(outside->findChild<QAction*>(QStringLiteral("startTagEdit:")));
    QAction* clips = nullptr;
    for (QAction* action : outside->actions())
        if (action->menu() && action->text() == QStringLiteral("Clips"))
            clips = action;
    ASSERT_TRUE(clips);
    clips->menu()->actions().first()->trigger();
    EXPECT_EQ(view->string(), QStringLiteral("<p id=x><b>hi</b></p>"));

    view->setSelectedRange(Range(3, 0));
    std::unique_ptr<QMenu> inside(view->menuForEvent(&event));
    EXPECT_TRUE(inside->findChild<QAction*>(QStringLiteral("startTagEdit:")));
    EXPECT_FALSE(inside->actions().last()->isSeparator());
}

} // namespace
