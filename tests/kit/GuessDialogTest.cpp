#include "kit/GuessDialog.h"

#include "kit/SpellChecker.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(GuessDialog, ButtonsActOnTheShownWord)
{
    kit::SpellChecker checker;
    checker.setWordCheckerForTesting([](const QString&) { return true; });
    kit::GuessDialog dialog;
    QString changed, ignored, learned;
    int next = 0;
    dialog.onChange = [&](const QString& r) { changed = r; };
    dialog.onIgnore = [&](const QString& w) { ignored = w; };
    dialog.onLearn = [&](const QString& w) { learned = w; };
    dialog.onFindNext = [&] { ++next; };

    dialog.showWord(QStringLiteral("hosue"), checker);
    dialog.guessList()->addItem(QStringLiteral("house"));
    dialog.guessList()->setCurrentRow(dialog.guessList()->count() - 1);
    EXPECT_EQ(dialog.replacement(), QStringLiteral("house"));
    QTest::mouseClick(dialog.changeButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.ignoreButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.learnButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.findNextButton(), Qt::LeftButton);
    EXPECT_EQ(changed, QStringLiteral("house"));
    EXPECT_EQ(ignored, QStringLiteral("hosue"));
    EXPECT_EQ(learned, QStringLiteral("hosue"));
    EXPECT_EQ(next, 1);

    // No word left: only Find Next stays.
    dialog.showWord(QString(), checker);
    EXPECT_FALSE(dialog.changeButton()->isEnabled());
    EXPECT_FALSE(dialog.learnButton()->isEnabled());
    EXPECT_TRUE(dialog.findNextButton()->isEnabled());
}

} // namespace
