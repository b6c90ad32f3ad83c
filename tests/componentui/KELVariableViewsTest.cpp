#include "componentui/KELAccordionView.h"
#include "componentui/KELVariableViews.h"

#include "ComponentUITestSupport.h"
#include "components/KELFormatter.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QVBoxLayout>

TEST(KELAccordionViewTest, BarsSlideToTheirPlacesAndEmptyAccordionsAreSafe)
{
    // Four items, 300 high, item 2 open: bars at 0, 20, 40 and 280; the open one 240 high.
    EXPECT_EQ(KELAccordionView::targetFrames(4, 2, 300), (QList<QPair<int, int>> { { 0, 20 }, { 20, 20 }, { 40, 240 }, { 280, 20 } }));

    struct Ease {
        double t;
        double p;
    };
    for (const Ease& e : { Ease { 0, 0 }, Ease { 0.25, std::sin(M_PI * 0.25) }, Ease { 0.5, 1 }, Ease { 2, 1 } })
        EXPECT_DOUBLE_EQ(KELAccordionSubviewAnimation::progress(e.t), e.p) << e.t;

    KELAccordionView empty;
    empty.resize(200, 300);
    empty.setSelectedIndex(3);
    empty.layoutSubviews(true);
    EXPECT_FALSE(empty.continueAnimation(1.0));
    EXPECT_EQ(empty.selectedIndex(), 0);

    double now = 0;
    KELAccordionView accordion;
    accordion.setClock([&now] { return now; });
    for (int i = 0; i < 4; ++i)
        accordion.addItem(KELAccordionItem(new QWidget, QStringLiteral("Item %1").arg(i)));
    accordion.resize(200, 300);
    accordion.setSelectedIndex(2);
    EXPECT_TRUE(accordion.isAnimating());
    now = 0.25;
    EXPECT_TRUE(accordion.continueAnimation(now));
    now = 0.5;
    EXPECT_FALSE(accordion.continueAnimation(now));
    EXPECT_EQ(accordion.bar(2)->geometry(), QRect(0, 40, 200, 240));
    EXPECT_EQ(accordion.bar(3)->geometry(), QRect(0, 280, 200, 20));
    // Out of range and the open item itself change nothing.
    accordion.setSelectedIndex(9);
    accordion.setSelectedIndex(-1);
    EXPECT_EQ(accordion.selectedIndex(), 2);
}

TEST(KELVariableViewsTest, CollapsingCompletingAndFormatting)
{
    KELVariableCollapsibleView section;
    auto* content = new QWidget;
    content->setFixedHeight(100);
    section.setContentView(content);
    section.setCollapsed(true);
    EXPECT_EQ(section.height(), 28);
    section.setCollapsed(false);
    EXPECT_EQ(section.height(), 128);

    const QStringList items { QStringLiteral("Arial"), QStringLiteral("arial black"), QStringLiteral("Arimo") };
    EXPECT_EQ(KELComponentComboBox::completedString(QStringLiteral("ar"), items), std::optional<QString>(QStringLiteral("arial")));
    EXPECT_EQ(KELComponentComboBox::completedString(QStringLiteral("x"), items), std::nullopt);

    // A length limit rejected while typing puts back the text from the start of the edit.
    KELStringFormatter three;
    three.maxLength = 3;
    KELComponentTextField field;
    field.setKelpFormatter(&three);
    field.setText(QStringLiteral("ab"));
    field.show();
    field.setFocus();
    QCoreApplication::processEvents();
    field.setCursorPosition(2);
    QTest::keyClicks(&field, QStringLiteral("cd"));
    EXPECT_EQ(field.text(), QStringLiteral("abc"));
}

TEST(KELVariableViewsTest, HiddenRowsTakeNoStripe)
{
    KELVariableGroupView group;
    QList<KELVariableView*> rows;
    for (int i = 0; i < 3; ++i) {
        rows << new KELVariableView;
        rows.last()->setFixedHeight(20);
        group.addVariableView(rows.last());
    }
    group.show();
    const QList<QColor> stripes = KELVariableView::alternatingColors();
    EXPECT_EQ(rows.at(2)->backgroundColor(), stripes.at(0));
    rows.at(1)->setViewHidden(true);
    EXPECT_EQ(rows.at(2)->backgroundColor(), stripes.at(1));
    rows.at(1)->setViewHidden(false);
    EXPECT_EQ(rows.at(2)->backgroundColor(), stripes.at(0));
}

TEST(KELVariableViewsTest, ComboBoxesCompleteTheShortestItemAsTheUserTypes)
{
    KELComponentComboBox box;
    box.addItems({ QStringLiteral("Arial"), QStringLiteral("arial black"), QStringLiteral("Arimo"), QStringLiteral("Georgia") });
    box.show();
    box.lineEdit()->setFocus();
    QTRY_VERIFY(box.lineEdit()->hasFocus());
    box.lineEdit()->clear();
    QStringList edited;
    QObject::connect(&box, &KELComponentComboBox::textEdited, &box, [&edited](const QString& text) { edited << text; });
    QTest::keyClicks(box.lineEdit(), QStringLiteral("ar"));
    // The typed text keeps its case; the rest of the shortest match is selected.
    EXPECT_EQ(box.currentText(), QStringLiteral("arial"));
    EXPECT_EQ(box.lineEdit()->selectedText(), QStringLiteral("ial"));
    EXPECT_EQ(edited.value(edited.size() - 1), QStringLiteral("arial"));
    // Typing on replaces the completed part; deleting does not complete again.
    QTest::keyClicks(box.lineEdit(), QStringLiteral("im"));
    EXPECT_EQ(box.currentText(), QStringLiteral("arimo"));
    QTest::keyClick(box.lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(box.currentText(), QStringLiteral("arim"));
    QTest::keyClicks(box.lineEdit(), QStringLiteral("x"));
    EXPECT_EQ(box.currentText(), QStringLiteral("arimx"));
    EXPECT_FALSE(box.lineEdit()->hasSelectedText());
}

TEST(KELVariableViewsTest, UndoKeysInTextFieldsGoToTheWindow)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new KELComponentTextField(&window);
    auto* area = new KELComponentTextArea(3, &window);
    layout->addWidget(field);
    layout->addWidget(area);
    int undos = 0;
    auto* undo = new QAction(&window);
    undo->setShortcut(QKeySequence::Undo);
    undo->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(undo, &QAction::triggered, &window, [&undos] { ++undos; });
    window.addAction(undo);
    window.show();
    QTRY_VERIFY(window.isVisible());
    for (QWidget* control : { static_cast<QWidget*>(field), static_cast<QWidget*>(area) }) {
        control->setFocus();
        QTRY_VERIFY(control->hasFocus());
        QTest::keyClicks(control, QStringLiteral("typed"));
        const int before = undos;
        QTest::keyClick(control, Qt::Key_Z, Qt::ControlModifier);
        // The window's undo ran; the control kept its text.
        EXPECT_EQ(undos, before + 1) << control->metaObject()->className();
        EXPECT_EQ(control->property("text").isValid() ? control->property("text").toString() : static_cast<KELComponentTextArea*>(control)->text(),
            QStringLiteral("typed"));
    }
}
